// Settings-file contents, whatever they hold: reading the two keys, and writing one, which must
// then read back while every other key keeps its value.
#include "ProfileString.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray contents(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString section = QStringLiteral("ItemIndex");
    const auto port = platform::profileValue(contents, section, QStringLiteral("Com_Port"));
    const auto admin = platform::profileValue(contents, section, QStringLiteral("Admin_Sel"));

    const QByteArray written = platform::profileWithValue(contents, section, QStringLiteral("Com_Port"),
                                                          QStringLiteral("12"));
    if (platform::profileValue(written, section, QStringLiteral("Com_Port")) != QStringLiteral("12"))
        std::abort();
    if (platform::profileValue(written, section, QStringLiteral("Admin_Sel")) != admin)
        std::abort();
    if (platform::profileValue(written, QStringLiteral("Other"), QStringLiteral("x"))
        != platform::profileValue(contents, QStringLiteral("Other"), QStringLiteral("x")))
        std::abort();
    (void)port;
    return 0;
}
