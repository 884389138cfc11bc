#include "ProfileString.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
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

// Index of the line holding key in section, with the section's header index and last line.
struct Location
{
    qsizetype header = -1;  // line of "[section]"
    qsizetype lastLine = -1; // last non-blank line of the section
    qsizetype keyLine = -1;
};

template <typename Lines>
Location locate(const Lines &lines, const QString &section, const QString &key)
{
    Location at;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArrayView line(lines[i]);
        if (const auto name = sectionName(line)) {
            if (inSection)
                break; // the first matching section is the one used
            inSection = sameName(*name, section);
            if (inSection)
                at.header = at.lastLine = i;
            continue;
        }
        if (!inSection)
            continue;
        if (!trimmed(line).isEmpty())
            at.lastLine = i;
        const qsizetype eq = line.indexOf('=');
        if (eq >= 0 && at.keyLine < 0 && sameName(trimmed(line.first(eq)), key))
            at.keyLine = i;
    }
    return at;
}

QList<QByteArrayView> linesOf(QByteArrayView contents)
{
    QList<QByteArrayView> lines;
    lines.reserve(contents.count('\n') + 1);
    for (qsizetype start = 0;;) {
        const qsizetype end = contents.indexOf('\n', start);
        lines << contents.sliced(start, (end < 0 ? contents.size() : end) - start);
        if (end < 0)
            return lines;
        start = end + 1;
    }
}

} // namespace

std::optional<QString> ProfileValue(const QByteArray &contents, const QString &section, const QString &key)
{
    if (contents.isEmpty())
        return std::nullopt;
    const QList<QByteArrayView> lines = linesOf(contents);
    const Location at = locate(lines, section, key);
    if (at.keyLine < 0)
        return std::nullopt;
    const QByteArrayView line = lines[at.keyLine];
    QByteArrayView value = trimmed(line.sliced(line.indexOf('=') + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.sliced(1, value.size() - 2); // one pair of quotes around the value
    return QString::fromLatin1(value.data(), value.size());
}

QByteArray ProfileWithValue(const QByteArray &contents, const QString &section, const QString &key,
                            const QString &value)
{
    QList<QByteArrayView> lines = linesOf(contents);
    if (lines.last().isEmpty())
        lines.removeLast(); // the piece after a final newline, or an empty file
    // Lines we write end as the file's lines do: CR LF unless the file uses LF alone.
    const bool lfOnly = !contents.isEmpty() && !contents.contains("\r\n") && contents.contains('\n');
    const QByteArray cr = lfOnly ? QByteArray() : QByteArray("\r");
    // A last line that had no line end gets the file's.
    const bool endLastLine = !lines.isEmpty() && !lfOnly && !contents.endsWith('\n') && !lines.last().endsWith('\r');
    const QByteArray entry = key.trimmed().toLatin1() + '=' + value.toLatin1() + cr + '\n';
    const Location at = locate(lines, section, key);

    QByteArray out;
    out.reserve(contents.size() + entry.size() + section.size() + 8);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i == at.keyLine) {
            out += entry;
        } else {
            out += lines[i];
            if (endLastLine && i == lines.size() - 1)
                out += '\r';
            out += '\n';
        }
        if (at.keyLine < 0 && i == at.lastLine)
            out += entry; // a new key at the end of its section
    }
    if (at.header < 0)
        out += '[' + section.trimmed().toLatin1() + ']' + cr + '\n' + entry;
    return out;
}

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int size, const QString &path)
{
    const int limit = qMax(0, size - 1);
    const auto data = readProfile(path);
    const std::optional<QString> value = data ? ProfileValue(*data, section, key) : std::nullopt;
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
    file.write(ProfileWithValue(*data, section, key, value));
    return file.commit();
}

} // namespace platform
