#include "ProfileString.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <optional>

namespace platform {
namespace {

// nullopt: present but not readable as a settings file. Empty: no file.
std::optional<QByteArray> readProfile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QByteArray();
    if (!info.isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.read(kMaxProfileFileSize + 1);
    if (data.size() > kMaxProfileFileSize)
        return std::nullopt;
    return data;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Views into the file's contents or lines: reading allocates nothing per line.
QByteArrayView trimmed(QByteArrayView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && (isBlank(text[end - 1]) || text[end - 1] == '\r'))
        --end;
    return text.sliced(begin, end - begin);
}

bool sameName(QByteArrayView a, const QString &b)
{
    return QLatin1String(a.data(), a.size()).compare(QStringView(b).trimmed(), Qt::CaseInsensitive) == 0;
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<QByteArrayView> sectionName(QByteArrayView line)
{
    const QByteArrayView t = trimmed(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    return trimmed(t.sliced(1, (close < 0 ? t.size() : close) - 1));
}

// Where key and its section lie in a file's contents, as byte offsets. A line's end offset is
// just past its line end.
struct Location
{
    bool sectionFound = false;
    qsizetype sectionEnd = -1; // end of the section's last non-blank line (its header at least)
    qsizetype keyStart = -1;   // the key's line, start and end
    qsizetype keyEnd = -1;
    QByteArrayView keyLine;    // without its line end
};

Location locate(QByteArrayView contents, const QString &section, const QString &key)
{
    Location at;
    bool inSection = false;
    for (qsizetype start = 0; start <= contents.size();) {
        const qsizetype newline = contents.indexOf('\n', start);
        const qsizetype stop = newline < 0 ? contents.size() : newline;
        const QByteArrayView line = contents.sliced(start, stop - start);
        const qsizetype lineEnd = newline < 0 ? stop : stop + 1;
        if (const auto name = sectionName(line)) {
            if (inSection)
                break; // the first matching section is the one used
            inSection = sameName(*name, section);
            if (inSection) {
                at.sectionFound = true;
                at.sectionEnd = lineEnd;
            }
        } else if (inSection) {
            if (!trimmed(line).isEmpty())
                at.sectionEnd = lineEnd;
            const qsizetype eq = line.indexOf('=');
            if (eq >= 0 && at.keyStart < 0 && sameName(trimmed(line.first(eq)), key)) {
                at.keyStart = start;
                at.keyEnd = lineEnd;
                at.keyLine = line;
            }
        }
        start = stop + 1;
    }
    return at;
}

} // namespace

std::optional<QString> profileValue(const QByteArray &contents, const QString &section, const QString &key)
{
    const Location at = locate(contents, section, key);
    if (at.keyStart < 0)
        return std::nullopt;
    QByteArrayView value = trimmed(at.keyLine.sliced(at.keyLine.indexOf('=') + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.sliced(1, value.size() - 2); // one pair of quotes around the value
    return QString::fromLatin1(value.data(), value.size());
}

QByteArray profileWithValue(const QByteArray &contents, const QString &section, const QString &key,
                            const QString &value)
{
    // Lines we write end as the file's lines do: CR LF unless the file uses LF alone. A last
    // line without a line end gets the file's.
    const bool lfOnly = !contents.isEmpty() && !contents.contains("\r\n") && contents.contains('\n');
    const QByteArray cr = lfOnly ? QByteArray() : QByteArrayLiteral("\r");
    QByteArray body = contents;
    if (!body.isEmpty() && !body.endsWith('\n'))
        body.append(body.endsWith('\r') ? "" : cr).append('\n');
    const QByteArray entry = key.trimmed().toLatin1() + '=' + value.toLatin1() + cr + '\n';
    const Location at = locate(body, section, key);
    if (at.keyStart >= 0)
        return body.replace(at.keyStart, at.keyEnd - at.keyStart, entry);
    if (at.sectionFound)
        return body.insert(at.sectionEnd, entry); // a new key at the end of its section
    return body.append('[' + section.trimmed().toLatin1() + ']' + cr + '\n' + entry);
}

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int size, const QString &path)
{
    const int limit = qMax(0, size - 1);
    const auto data = readProfile(path);
    const std::optional<QString> value = data ? profileValue(*data, section, key) : std::nullopt;
    return value.value_or(defaultValue).left(limit);
}

bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &path)
{
    const auto data = readProfile(path);
    if (!data)
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(profileWithValue(*data, section, key, value));
    return file.commit();
}

} // namespace platform
