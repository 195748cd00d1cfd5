#pragma once
// Running the real executable under valgrind's leak check in tests. The
// prefix is empty, with the reason, where valgrind is absent or the build
// carries AddressSanitizer (the two do not run together).

#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace velorine::test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool avecasan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool avecasan = true;
#else
inline constexpr bool avecasan = false;
#endif
#else
inline constexpr bool avecasan = false;
#endif

// The exit status valgrind gives a run in which it found a leak or an error.
inline constexpr int codevalgrind = 99;

inline QStringList prefixevalgrind(QString& raison)
{
    if (avecasan) {
        raison = QStringLiteral("valgrind does not run a build with AddressSanitizer");
        return {};
    }
    const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
    if (valgrind.isEmpty()) {
        raison = QStringLiteral("valgrind is not installed");
        return {};
    }
    return {valgrind,
            "--quiet",
            "--leak-check=full",
            "--show-leak-kinds=definite,indirect",
            "--errors-for-leak-kinds=definite,indirect",
            "--error-exitcode=" + QString::number(codevalgrind)};
}

} // namespace velorine::test
