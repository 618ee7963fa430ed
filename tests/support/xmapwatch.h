#pragma once
// Watches an X display for top-level windows being mapped and unmapped, as
// the X server reports them: what a window manager and the user see of a
// window appearing. Without a window manager the top-level windows are the
// root's children, so the root's substructure events name them all. Used by
// the start-up test (a window mapped once, not shown, taken down and shown
// again) and the start-up benchmark (the time to the main window's first map).

#include <xcb/xcb.h>

#include <poll.h>
#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

class XMapWatch {
public:
    struct Event {
        double seconds;  // on the monotonic clock, as Now() gives it
        bool mapped;     // else unmapped
        uint32_t window;
        std::string title;  // WM_NAME at the moment it was read; empty once gone
        int width, height;  // as the window was created
    };

    static double Now() {
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }

    explicit XMapWatch(const std::string& display) {
        connection_ = xcb_connect(display.c_str(), nullptr);
        if (xcb_connection_has_error(connection_)) return;
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
        if (!screen) return;
        root_ = screen->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_void_cookie_t cookie = xcb_change_window_attributes_checked(connection_, root_, XCB_CW_EVENT_MASK, &mask);
        if (xcb_generic_error_t* error = xcb_request_check(connection_, cookie)) {
            std::free(error);
            return;
        }
        ok_ = true;
    }
    ~XMapWatch() { xcb_disconnect(connection_); }
    XMapWatch(const XMapWatch&) = delete;
    XMapWatch& operator=(const XMapWatch&) = delete;

    bool ok() const { return ok_; }

    // Collects map and unmap events until `done` holds for the events so far
    // or `seconds` have passed; the events collected stay in events().
    template <class Done>
    void collect(double seconds, Done done) {
        const double until = Now() + seconds;
        while (ok_ && !done(events_)) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) {
                const double at = Now();
                const uint8_t type = e->response_type & 0x7f;
                if (type == XCB_CREATE_NOTIFY) {
                    const auto* c = reinterpret_cast<xcb_create_notify_event_t*>(e);
                    if (c->parent == root_) created_.push_back({c->window, c->width, c->height});
                } else if (type == XCB_MAP_NOTIFY) {
                    const auto* m = reinterpret_cast<xcb_map_notify_event_t*>(e);
                    if (m->event == root_) push(at, true, m->window);
                } else if (type == XCB_UNMAP_NOTIFY) {
                    const auto* u = reinterpret_cast<xcb_unmap_notify_event_t*>(e);
                    if (u->event == root_) push(at, false, u->window);
                }
                std::free(e);
                if (!events_.empty() && events_.back().title.empty()) events_.back().title = titleOf(events_.back().window);
            }
            if (done(events_)) return;
            const double left = until - Now();
            if (left <= 0) return;
            // Short waits, so that a `done` that holds without a new event
            // (another thread's word) is seen soon.
            pollfd p{xcb_get_file_descriptor(connection_), POLLIN, 0};
            ::poll(&p, 1, left > 0.05 ? 50 : int(left * 1000) + 1);
        }
    }

    const std::vector<Event>& events() const { return events_; }
    // Forgets what was seen, and what the server has sent and not yet been
    // read: the events of earlier windows would be timed as if new.
    void clear() {
        if (ok_) {
            std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
            while (xcb_generic_event_t* e = xcb_poll_for_event(connection_)) std::free(e);
        }
        events_.clear();
        created_.clear();
    }

    // How often the windows of this title were mapped, and unmapped.
    int count(const std::string& title, bool mapped) const {
        int n = 0;
        for (const Event& e : events_) n += e.title == title && e.mapped == mapped;
        return n;
    }
    // When a window of this title was first mapped; 0 when it was not.
    double firstMap(const std::string& title) const {
        for (const Event& e : events_)
            if (e.mapped && e.title == title) return e.seconds;
        return 0;
    }
    // The same for a window created at this size: a window that is gone by
    // the time its map is read has no title to ask for any more.
    double firstMap(int width, int height) const {
        for (const Event& e : events_)
            if (e.mapped && e.width == width && e.height == height) return e.seconds;
        return 0;
    }

private:
    struct Created {
        uint32_t window;
        int width, height;
    };

    void push(double at, bool mapped, uint32_t window) {
        Event e{at, mapped, window, {}, 0, 0};
        for (const Created& c : created_)
            if (c.window == window) e.width = c.width, e.height = c.height;
        events_.push_back(e);
    }

    std::string titleOf(uint32_t window) {
        xcb_get_property_cookie_t cookie =
            xcb_get_property(connection_, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(connection_, cookie, nullptr);
        if (!reply) return {};
        std::string title(static_cast<const char*>(xcb_get_property_value(reply)),
                          size_t(xcb_get_property_value_length(reply)));
        std::free(reply);
        return title;
    }

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = 0;
    bool ok_ = false;
    std::vector<Event> events_;
    std::vector<Created> created_;
};
