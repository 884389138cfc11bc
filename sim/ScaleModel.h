#pragma once
// The virtual scale's device model, without any I/O.
//
// A load cell behind an A/D converter: raw counts = offset + gain x the mass the cell feels + a
// count of noise either way. The cell feels the load, plus an eccentricity error where the load stands off the
// centre, plus a linearity error that grows with the square of the load; a new load settles over
// a while instead of jumping. The shown weight is (raw - zero) / span + trim, in kilograms, or
// times 2.20462 in pounds. Calibration sets zero (BG00, BG01 with the platter empty) and span
// (BG02 with 50 kg, BG03 with 100 kg on the platter); the trims move the shown weight by 10 g or
// 100 g. The factory span is a little off: 50 kg shows as 51.02 kg until calibrated with 50 kg.
//
// Replies carry the layout the console reads:
//   AC                 login accepted (a refused login gets no reply)
//   BG                 any calibration, mode or leave command
//   BA + "0" + mode    a mode change at the device's own keys ("00" manual, "01" auto)
//   SP / SK            unit set to pounds / kilograms
//   AR + "00" + gggggg gravity x 10000, six digits
//   AW / SW / PW       value stored
//   SR + 11 chars      user serial number
//   PR + 4 + 4 chars   passwords of users 1 and 2
//   VI                 factory reset done (AD09)
//   WC + ddddd + "," + wwwww + sign    live weight: raw counts, |weight| x 100, "-" or "+"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QString>
#include <optional>

namespace sim {

struct DeviceSettings
{
    QString serial = QStringLiteral("00000000000");
    QString password1 = QStringLiteral("0000");
    QString password2 = QStringLiteral("0000");
    int gravity = 97982;       // m/s^2 x 10000
    bool pounds = true;
    bool automaticMode = false;
    double zeroCounts = 8000;  // factory calibration: zero right,
    double spanCounts = 392;   // counts per kg a little off
    double trimKg = 0;

    QJsonObject toJson() const;
    static DeviceSettings fromJson(const QJsonObject &o);
};

// How the virtual platform differs from an ideal one.
struct Imperfections
{
    double capacityKg = 150;
    double linearityKg = 0;               // error at capacity; 0 at no load, growing with load^2
    QHash<QString, double> eccentricityKg; // by position: the error of a third of the capacity there
    int settleMs = 300;                   // a new load reaches its value over this time
};

class ScaleModel
{
public:
    static constexpr double kOffsetCounts = 8000;
    static constexpr double kGainCounts = 400; // per kg
    static constexpr double kPoundsPerKg = 2.20462;

    explicit ScaleModel(quint32 seed = 1, DeviceSettings settings = {}, Imperfections imperfections = {});

    // Position names: centre, fl, rl, rr, fr (front/rear left/right) and s1 to s16.
    static bool isPosition(const QString &name);

    // The reply (code and payload) to one command frame's code and payload, or nothing.
    std::optional<QByteArray> handle(const QByteArray &codeAndPayload);

    // One live weight report (code and payload).
    QByteArray weightReport();
    // "BA" with the mode, for a mode change made at the device's keys.
    QByteArray setModeAtKeys(bool automatic);

    // Puts a load on the platter at a position; it settles from the load before.
    void setLoadKg(double kg, const QString &position = QStringLiteral("centre"));
    double loadKg() const { return m_targetKg; }
    // The mass the cell feels now: the settling load and the platform's errors.
    double feltKg() const;
    bool loggedIn() const { return m_loggedIn; }
    const DeviceSettings &settings() const { return m_settings; }
    double rawCounts(bool withNoise);
    double shownWeight(bool withNoise); // in the unit in use

private:
    DeviceSettings m_settings;
    QRandomGenerator m_random;
    Imperfections m_imperfections;
    QElapsedTimer m_clock;
    double m_fromKg = 0;   // the load before the last step, the step's start and its target
    qint64 m_stepAtMs = 0;
    double m_targetKg = 0;
    QString m_position = QStringLiteral("centre");
    bool m_loggedIn = false;
};

} // namespace sim
