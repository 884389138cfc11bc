#pragma once
// The profile-string pair over an INI file:
//   - section and key names compare case-insensitively, surrounding blanks ignored;
//   - a missing file, section or key gives the default;
//   - a value is returned without surrounding blanks and cut to size - 1 characters;
//   - writing creates the file, the section or the key as needed and keeps every other line of
//     the file byte for byte (comments, other sections); the new file replaces the old one by
//     rename, so a crash or a full disk never leaves half a file.
// The file is read as single-byte text. Anything that is not a regular file of at most
// kMaxProfileFileSize bytes counts as unreadable: reads give the default and writes fail.

#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

constexpr qint64 kMaxProfileFileSize = 1024 * 1024;

QString GetPrivateProfileString(const QString &section, const QString &key,
                                const QString &defaultValue, int size, const QString &path);

// Returns false when the file could not be read or written; the old file is then untouched.
bool WritePrivateProfileString(const QString &section, const QString &key, const QString &value,
                               const QString &path);

// The same rules on a file's contents in memory.
// The value of key in section, or nullopt when the section or key is missing.
std::optional<QString> profileValue(const QByteArray &contents, const QString &section, const QString &key);
// The contents with key in section set to value.
QByteArray profileWithValue(const QByteArray &contents, const QString &section, const QString &key,
                            const QString &value);

} // namespace platform
