#include "ServerAddress.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

namespace records {
namespace {

QString passwordRefusal()
{
    return QStringLiteral("The records server's address carries a password, and passwords are never kept in the "
                          "settings: leave it out and give it in ~/.pgpass (or the file PGPASSFILE names), or use "
                          "a client certificate.");
}

std::optional<ServerAddress> fromUri(const QString &text, QString *why)
{
    ServerAddress a;
    QString rest = text.mid(text.indexOf(QLatin1String("://")) + 3);
    QString query;
    if (const qsizetype q = rest.indexOf(QLatin1Char('?')); q >= 0) {
        query = rest.mid(q + 1);
        rest.truncate(q);
    }
    QString path;
    if (const qsizetype slash = rest.indexOf(QLatin1Char('/')); slash >= 0) {
        path = rest.mid(slash + 1);
        rest.truncate(slash);
    }
    if (const qsizetype at = rest.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString userInfo = rest.left(at);
        if (userInfo.contains(QLatin1Char(':'))) {
            *why = passwordRefusal();
            return std::nullopt;
        }
        a.parameters.append({QStringLiteral("user"), QUrl::fromPercentEncoding(userInfo.toUtf8())});
        rest = rest.mid(at + 1);
    }
    // Host lists ("h1:5432,h2:5433") and IPv6 addresses in brackets, as libpq reads them.
    QStringList hosts, ports;
    for (const QString &spec : rest.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString host = spec, port;
        const qsizetype close = spec.indexOf(QLatin1Char(']'));
        const qsizetype colon = spec.lastIndexOf(QLatin1Char(':'));
        if (colon > close) {
            host = spec.left(colon);
            port = spec.mid(colon + 1);
        }
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        hosts << QUrl::fromPercentEncoding(host.toUtf8());
        ports << port;
    }
    if (!hosts.isEmpty())
        a.parameters.append({QStringLiteral("host"), hosts.join(QLatin1Char(','))});
    if (ports.join(QString()) != QString())
        a.parameters.append({QStringLiteral("port"), ports.join(QLatin1Char(','))});
    if (!path.isEmpty())
        a.parameters.append({QStringLiteral("dbname"), QUrl::fromPercentEncoding(path.toUtf8())});
    for (const auto &[key, value] : QUrlQuery(query).queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("password")) {
            *why = passwordRefusal();
            return std::nullopt;
        }
        a.parameters.append({key, value});
    }
    return a;
}

std::optional<ServerAddress> fromKeywords(const QString &text, QString *why)
{
    ServerAddress a;
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() && text[i].isSpace())
            ++i;
    };
    for (skipBlanks(); i < text.size(); skipBlanks()) {
        const qsizetype keyStart = i;
        while (i < text.size() && ((text[i] >= u'a' && text[i] <= u'z') || text[i] == u'_'))
            ++i;
        if (i < text.size() && text[i] != u'=' && !text[i].isSpace()) { // libpq's keywords are lower-case words
            *why = QStringLiteral("The records server's address is not one libpq reads (at \"%1\").").arg(text.mid(keyStart, 40));
            return std::nullopt;
        }
        const QString key = text.mid(keyStart, i - keyStart);
        skipBlanks();
        if (key.isEmpty() || i >= text.size() || text[i] != u'=') {
            *why = QStringLiteral("The records server's address \"%1\" is neither a URI nor keyword=value pairs.").arg(text);
            return std::nullopt;
        }
        ++i;
        skipBlanks();
        QString value;
        if (i < text.size() && text[i] == u'\'') {
            for (++i; i < text.size() && text[i] != u'\''; ++i) {
                if (text[i] == u'\\' && i + 1 < text.size())
                    ++i;
                value += text[i];
            }
            if (i >= text.size()) {
                *why = QStringLiteral("A quote is not closed in the records server's address.");
                return std::nullopt;
            }
            ++i;
        } else {
            const qsizetype valueStart = i;
            while (i < text.size() && !text[i].isSpace())
                ++i;
            value = text.mid(valueStart, i - valueStart);
        }
        if (key == QLatin1String("password")) {
            *why = passwordRefusal();
            return std::nullopt;
        }
        a.parameters.append({key, value});
    }
    return a;
}

} // namespace

QString ServerAddress::value(const QString &keyword) const
{
    for (const auto &[key, v] : parameters)
        if (key == keyword)
            return v;
    return {};
}

QString ServerAddress::connectionString() const
{
    QStringList pairs;
    for (const auto &[key, v] : parameters)
        pairs << key + QStringLiteral("='") + QString(v).replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('\''), QLatin1String("\\'"))
                     + QLatin1Char('\'');
    return pairs.join(QLatin1Char(' '));
}

QString ServerAddress::name() const
{
    QString host = value(QStringLiteral("host"));
    if (host.isEmpty() || host.startsWith(QLatin1Char('/')))
        host = host.isEmpty() ? QStringLiteral("local socket") : QStringLiteral("socket in %1").arg(host);
    QString out = host;
    if (!value(QStringLiteral("port")).isEmpty())
        out += QLatin1Char(':') + value(QStringLiteral("port"));
    if (!value(QStringLiteral("dbname")).isEmpty())
        out += QLatin1Char('/') + value(QStringLiteral("dbname"));
    if (!value(QStringLiteral("user")).isEmpty())
        out = value(QStringLiteral("user")) + QLatin1Char('@') + out;
    return out;
}

std::optional<ServerAddress> parseServerAddress(const QString &text, QString *why)
{
    const QStringView trimmed = QStringView(text).trimmed();
    const QString t = trimmed.size() == text.size() ? text : trimmed.toString(); // shared, not copied, when nothing is trimmed
    const bool uri = t.startsWith(QLatin1String("postgresql://")) || t.startsWith(QLatin1String("postgres://"));
    auto address = uri ? fromUri(t, why) : fromKeywords(t, why);
    // libpq's keywords are lower-case words; a value cannot hold a NUL.
    static const QRegularExpression keyword(QStringLiteral("^[a-z_]+$"));
    for (const auto &[key, value] : address ? address->parameters : QList<QPair<QString, QString>>()) {
        if ((uri && !keyword.match(key).hasMatch()) || value.contains(QChar(u'\0'))) { // keywords: checked as read
            *why = QStringLiteral("The records server's address is not one libpq reads (at \"%1\").").arg(key.left(40));
            return std::nullopt;
        }
    }
    return address;
}

} // namespace records
