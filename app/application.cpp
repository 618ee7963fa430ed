#include "app/application.h"

#include <cstdio>

#include "library/errorlog.h"
#include "library/main.h"

TunevaleApplication::TunevaleApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TunevaleApplication::notify(QObject* receiver, QEvent* event) {
    return DeliverGuarded([&] { return QApplication::notify(receiver, event); });
}

bool DeliverGuarded(const std::function<bool()>& deliver) {
    try {
        return deliver();
    } catch (...) {
        HandleUnexpectedException(std::current_exception());
        return true;
    }
}

void HandleUnexpectedException(const std::exception_ptr& error) {
    const ErrorDescription d = DescribeException(error);
    if (!fm_main) {
        std::fprintf(stderr, "%s (%s)\n", qPrintable(d.message), qPrintable(d.className));
        return;
    }
    fm_main->ApplicationEvents1Exception(d.message, d.className);
}
