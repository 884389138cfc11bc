#pragma once
// What the console tells the records about the scale: each decoded weight report and each
// change the scale confirmed, as plain values. The console makes them; it knows nothing else of
// the records.

#include <QString>

namespace records {

struct DeviceEvent
{
    enum Kind {
        LoggedIn,         // text: the Index No. used at the login; number: user type 1 or 2
        Weight,           // number: the weight shown x 100; pounds: the unit in use
        Calibrated,       // number: the command the scale confirmed (0 zero, 1-3 with 0/50/100 kg,
                          // 8 automatic mode, 9 manual mode, 10-13 trims 100 g down/up, 10 g down/up)
        ModeAtKeys,       // number: 1 automatic, 0 manual (changed at the scale's own keys)
        UnitSet,          // pounds: the unit the scale now uses
        GravityRead,      // number: the gravity value x 10000
        GravityWritten,   // the scale stored a gravity value (read back next)
        SerialRead,       // text: the user serial number read
        SerialWritten,    // the scale stored a user serial number (read back next)
        PasswordsWritten, // the scale stored new passwords (never their values)
    };
    Kind kind = Weight;
    qint32 number = 0;
    bool pounds = false;
    QString text;
};

} // namespace records
