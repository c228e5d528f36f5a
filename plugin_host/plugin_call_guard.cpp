#include "plugin_host/plugin_call_guard.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <typeinfo>

#include "base/exceptions.h"
#include "platform/ansi_code_page.h"

namespace {

// A text a plugin raised is read up to here; a pointer to something else must not make the
// host read on for ever.
constexpr std::size_t KMaxRaisedText = 1000;

QString CurrentExceptionTypeName() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr)
        return QStringLiteral("unknown");
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(type->name(), nullptr, nullptr, &status), std::free);
    return QString::fromUtf8(status == 0 && demangled ? demangled.get() : type->name());
}

}  // namespace

void RaisePluginCallError(const char* AEntryPoint, const QString& APluginPathName) {
    QString raised;
    try {
        throw;
    } catch (const EqvException&) {
        throw;
    } catch (const std::exception& e) {
        raised = ExceptionClassName(e) + QStringLiteral(": ") + QString::fromUtf8(e.what());
    } catch (const char* text) {
        const QByteArray bytes = text == nullptr
                                     ? QByteArray()
                                     : QByteArray(text, qsizetype(strnlen(text, KMaxRaisedText)));
        // Plugins pass their 8-bit texts in the ANSI code page.
        raised = QStringLiteral("the text \"") + TAnsiCodePage::System().Decode(bytes) +
                 QLatin1Char('"');
    } catch (int value) {
        raised = QStringLiteral("the integer %1").arg(value);
    } catch (...) {
        raised = QStringLiteral("an exception of type \"") + CurrentExceptionTypeName() +
                 QLatin1Char('"');
    }
    throw EqvOperationNotPossible(
        QStringLiteral("The plugin \"%1\" raised an error in \"%2\": %3.")
            .arg(APluginPathName, QString::fromLatin1(AEntryPoint), raised));
}
