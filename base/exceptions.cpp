#include "base/exceptions.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

QString ExceptionClassName(const std::exception& AError) {
    const char* mangled = typeid(AError).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(
        abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return QString::fromUtf8(status == 0 && demangled ? demangled.get() : mangled);
}

QString ExceptionMessage(const std::exception& AError) {
    if (const auto* own = dynamic_cast<const EqvException*>(&AError))
        return own->Message();
    return QString::fromUtf8(AError.what());
}
