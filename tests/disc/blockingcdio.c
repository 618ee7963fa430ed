/* A stand-in for libcdio whose device list waits: it answers only once the
   file named by TUNEVALE_CDIO_RELEASE exists (or after 20 s), as a drive
   that spins up or a library that waits for a disc would. It lists one
   drive that holds no disc. Only what listing and reading the table call is
   here. */

#include <stdbool.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

typedef void (*log_handler)(int, const char*);

log_handler cdio_log_set_handler(log_handler handler) {
    (void)handler;
    return NULL;
}

char** cdio_get_devices(int driver) {
    (void)driver;
    const char* release = getenv("TUNEVALE_CDIO_RELEASE");
    for (int waited = 0; release && waited < 20000 && access(release, F_OK) != 0; waited += 10) usleep(10000);
    char** list = calloc(2, sizeof *list);
    list[0] = strdup("/dev/standin0");
    return list;
}

void cdio_free_device_list(char** list) {
    for (char** d = list; d && *d; ++d) free(*d);
    free(list);
}

void* cdio_open(const char* source, int driver) {
    (void)source;
    (void)driver;
    return NULL;
}

bool cdio_get_hwinfo(const void* cdio, void* info) {
    (void)cdio;
    (void)info;
    return false;
}

void cdio_destroy(void* cdio) { (void)cdio; }
