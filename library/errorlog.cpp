#include "library/errorlog.h"

#include <QFile>

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "library/datetext.h"
#include "platform/errors.h"

namespace {

QString demangled(const std::type_info& type) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                     &std::free);
    return QString::fromUtf8(status == 0 && name ? name.get() : type.name());
}

}  // namespace

bool AppendErrorLog(const QString& file, const QString& message, const QString& className, const QDateTime& moment) {
    QFile log(file);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const QByteArray lines = message.toUtf8() + "\r\n" + className.toUtf8() + "\r\n" +
                             DateTimeText(moment).toUtf8() + "\r\n";
    return log.write(lines) == lines.size() && log.flush();
}

ErrorDescription DescribeException(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const TunevaleError& e) {
        return {QString::fromUtf8(e.what()), QString::fromUtf8(e.className())};
    } catch (const std::exception& e) {
        return {QString::fromUtf8(e.what()), demangled(typeid(e))};
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        return {QStringLiteral("Unknown error"), type ? demangled(*type) : QStringLiteral("unknown")};
    }
}
