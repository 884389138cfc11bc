#pragma once
// A run-time error as the console's error handlers see it: a number and a short description.
// Procedures that "catch their own errors" catch this type and hand a line to Save_ErrorLog.

#include <QString>
#include <exception>

namespace platform {

struct VbError : std::exception
{
    VbError(int number, QString description)
        : Number(number), Description(std::move(description)) {}
    const char *what() const noexcept override { return "run-time error"; }

    int Number;
    QString Description;
};

// Error numbers raised by the program and its stand-ins.
namespace err {
constexpr int InvalidProcedureCall = 5;    // e.g. a character code above 255
constexpr int Overflow = 6;                // a number that does not fit its type
constexpr int SubscriptOutOfRange = 9;     // a read outside a buffer
constexpr int TypeMismatch = 13;           // text that is not a number
constexpr int InvalidPropertyValue = 380;  // a serial property value that makes no sense
constexpr int PortOpenNotValid = 8000;     // operation not valid while the port is open
constexpr int InvalidPortNumber = 8002;    // the number names no device
constexpr int PortAlreadyOpen = 8005;      // held by this control or by another program
constexpr int HardwareNotAvailable = 8010; // the device refused to open for another reason
constexpr int SetCommStateFailed = 8015;   // the device refused the line settings
constexpr int PortNotOpen = 8018;          // operation valid only while the port is open
} // namespace err

} // namespace platform
