#pragma once
// The common module: the variables every part of the console shares, and the procedures of the
// device link (frames, port opening, settings file, logs). No widgets here.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>

namespace platform {
class CommControl;
struct VbError;
} // namespace platform

namespace modCommon {

// ---- Shared state, alive for the whole run ----
inline std::int16_t gnComPortNo = 0;     // serial port in use, 1 for COM1
inline bool gbIsLb = false;              // the device works in pounds
inline std::int16_t gnResendCmd = 0;     // command Timer4 repeats, 99 for none
inline bool gbLoginReplied = false;      // an "AC" reply has come
inline bool gbCalibReplied = false;      // a "BG" reply has come
inline bool gbUnitReplied = false;       // an "SP" or "SK" reply has come

inline constexpr std::int16_t kNoResendCmd = 99;

// The error log is a diagnosis aid, off in normal builds (CMake option VANTOR_ERROR_LOG).
inline constexpr bool ERROR_LOG_ENABLED = VANTOR_ERROR_LOG_ENABLED != 0;

inline const QString kSettingsFileName = QStringLiteral("vantor_cal.ini");
inline const QString kSection = QStringLiteral("ItemIndex");

// ---- Settings file ----
QString settingsPath();
QString GetString_ofINI(const QString &section, const QString &key, const QString &defaultValue);
void SetString_ofINI(const QString &section, const QString &key, const QString &value);

// ---- Logs ----
QString eventLogPath();                 // today's event log
QString errorLogPath();                 // today's error log
void Save_EventLog(const QString &message, bool withTimeStamp);
void Save_ErrorLog(const QString &message, bool withTimeStamp);
QString fuGetTimeStamp();               // "HH:MM:SS(mmm)", local time
QString fuGetTimeStamp(const QDateTime &at);

// "<procedure> : (error <n>)  <description>", the line every error handler hands on.
QString errorLine(const char *procedure, int number, const QString &description);
QString errorLine(const char *procedure, const platform::VbError &error);

// Shifts every character by a random 0-9 and appends the shift digits: "abc" -> "bbe102"
// for the shifts 1, 0, 2. Throws VbError 5 when a shifted code would pass 255.
QString fuScrambleLogText(QString text);

// ---- Serial port ----
// Closes, configures and opens comm on port (38400,N,8,1, one byte per Input read) and discards
// what waited before. A failure leaves the port closed and goes to the error log only.
void lf_StartMeasure(platform::CommControl &comm, const std::int16_t &port);

// ---- Waits ----
// Waits ms milliseconds while letting every event run (serial reception, timers, clicks).
void fuDelayTime(int ms);

// ---- Seams for tests ----
void setClockForTesting(std::function<QDateTime()> clock);          // nullptr: the real clock
void setScrambleDigitsForTesting(std::function<int()> nextDigit);   // nullptr: random digits
void setErrorLogObserverForTesting(std::function<void(const QString &)> observer);

} // namespace modCommon
