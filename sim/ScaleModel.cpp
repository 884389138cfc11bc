#include "ScaleModel.h"

#include <QtMath>

namespace sim {
namespace {

bool allDigits(const QByteArray &s)
{
    return !s.isEmpty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

QJsonObject DeviceSettings::toJson() const
{
    return {{"serial", serial},       {"password1", password1}, {"password2", password2},
            {"gravity", gravity},     {"pounds", pounds},       {"automaticMode", automaticMode},
            {"zeroCounts", zeroCounts}, {"spanCounts", spanCounts}, {"trimKg", trimKg}};
}

DeviceSettings DeviceSettings::fromJson(const QJsonObject &o)
{
    DeviceSettings d;
    d.serial = o.value("serial").toString(d.serial).left(11);
    d.password1 = o.value("password1").toString(d.password1).left(4);
    d.password2 = o.value("password2").toString(d.password2).left(4);
    d.gravity = qBound(0, o.value("gravity").toInt(d.gravity), 999999);
    d.pounds = o.value("pounds").toBool(d.pounds);
    d.automaticMode = o.value("automaticMode").toBool(d.automaticMode);
    d.zeroCounts = o.value("zeroCounts").toDouble(d.zeroCounts);
    d.spanCounts = o.value("spanCounts").toDouble(d.spanCounts);
    if (!(d.spanCounts > 1))
        d.spanCounts = DeviceSettings().spanCounts;
    d.trimKg = o.value("trimKg").toDouble(d.trimKg);
    return d;
}

ScaleModel::ScaleModel(quint32 seed, DeviceSettings settings, Imperfections imperfections)
    : m_settings(std::move(settings)), m_random(seed), m_imperfections(std::move(imperfections))
{
    m_clock.start();
}

bool ScaleModel::isPosition(const QString &name)
{
    static const QStringList named = {QStringLiteral("centre"), QStringLiteral("fl"), QStringLiteral("rl"),
                                      QStringLiteral("rr"), QStringLiteral("fr")};
    if (named.contains(name))
        return true;
    bool ok = false;
    const int support = name.startsWith(QLatin1Char('s')) ? name.mid(1).toInt(&ok) : 0;
    return ok && support >= 1 && support <= 16;
}

void ScaleModel::setLoadKg(double kg, const QString &position)
{
    m_fromKg = feltKg();
    m_stepAtMs = m_clock.elapsed();
    m_targetKg = kg;
    m_position = position;
}

double ScaleModel::feltKg() const
{
    const Imperfections &im = m_imperfections;
    const double third = im.capacityKg / 3;
    const double ratio = im.capacityKg > 0 ? m_targetKg / im.capacityKg : 0;
    const double settled = m_targetKg + im.linearityKg * ratio * ratio
                           + (third > 0 ? im.eccentricityKg.value(m_position) * m_targetKg / third : 0);
    const qint64 since = m_clock.elapsed() - m_stepAtMs;
    if (im.settleMs <= 0 || since >= im.settleMs)
        return settled;
    return m_fromKg + (settled - m_fromKg) * double(since) / im.settleMs;
}

double ScaleModel::rawCounts(bool withNoise)
{
    const double noise = withNoise ? double(m_random.bounded(3)) - 1.0 : 0.0; // +-1 count
    return kOffsetCounts + kGainCounts * feltKg() + noise;
}

double ScaleModel::shownWeight(bool withNoise)
{
    const double kg = (rawCounts(withNoise) - m_settings.zeroCounts) / m_settings.spanCounts
                      + m_settings.trimKg;
    return m_settings.pounds ? kg * kPoundsPerKg : kg;
}

QByteArray ScaleModel::weightReport()
{
    const double raw = qBound(0.0, rawCounts(true), 99999.0);
    const double weight = shownWeight(true);
    const int hundredths = qMin(99999, qRound(qAbs(weight) * 100));
    return QByteArray("WC") + QByteArray::number(qRound(raw)).rightJustified(5, '0') + ','
           + QByteArray::number(hundredths).rightJustified(5, '0') + (weight < 0 && hundredths ? '-' : '+');
}

QByteArray ScaleModel::setModeAtKeys(bool automatic)
{
    m_settings.automaticMode = automatic;
    return automatic ? QByteArray("BA001") : QByteArray("BA000");
}

std::optional<QByteArray> ScaleModel::handle(const QByteArray &frame)
{
    if (frame.size() < 2)
        return std::nullopt;
    const QByteArray code = frame.left(2);
    const QByteArray payload = frame.mid(2);
    const QByteArray sub = payload.left(2);

    if (code == "AC") {
        // serial (11), password (4), user type digit
        if (payload.size() < 16)
            return std::nullopt;
        const QString serial = QString::fromLatin1(payload.left(11));
        const QString password = QString::fromLatin1(payload.mid(11, 4));
        const char type = payload.at(15);
        const QString &expected = type == '1' ? m_settings.password1 : m_settings.password2;
        if ((type != '1' && type != '2') || serial != m_settings.serial || password != expected)
            return std::nullopt;
        m_loggedIn = true;
        return QByteArray("AC");
    }
    if (code == "BG") {
        if (payload.size() < 2)
            return std::nullopt;
        const double raw = rawCounts(false); // the device averages out the noise
        if (sub == "00" || sub == "01") {
            m_settings.zeroCounts = raw;
            m_settings.trimKg = 0;
        } else if (sub == "02" || sub == "03") {
            const double reference = sub == "02" ? 50.0 : 100.0;
            if (raw - m_settings.zeroCounts > 1) {
                m_settings.spanCounts = (raw - m_settings.zeroCounts) / reference;
                m_settings.trimKg = 0;
            }
        } else if (sub == "08" || sub == "09") {
            m_settings.automaticMode = sub == "08";
        } else if (sub == "0A" || sub == "0B" || sub == "0C" || sub == "0D") {
            const double step = (sub == "0A" || sub == "0B") ? 0.1 : 0.01;
            m_settings.trimKg += (sub == "0B" || sub == "0D") ? step : -step;
        } else if (sub == "0E") {
            m_loggedIn = false;
        } else {
            return std::nullopt;
        }
        return QByteArray("BG");
    }
    if (code == "SP" || code == "SK") {
        if (sub != "00")
            return std::nullopt;
        m_settings.pounds = code == "SP";
        return code;
    }
    if (code == "AR") {
        if (sub != "00")
            return std::nullopt;
        return "AR00" + QByteArray::number(m_settings.gravity).rightJustified(6, '0');
    }
    if (code == "AW") {
        const QByteArray digits = payload.mid(2, 6);
        if (sub != "00" || digits.size() != 6 || !allDigits(digits))
            return std::nullopt;
        m_settings.gravity = digits.toInt();
        return QByteArray("AW");
    }
    if (code == "SR") {
        if (sub != "00")
            return std::nullopt;
        return "SR" + m_settings.serial.toLatin1();
    }
    if (code == "SW") {
        if (payload.size() < 11)
            return std::nullopt;
        m_settings.serial = QString::fromLatin1(payload.left(11));
        return QByteArray("SW");
    }
    if (code == "PR") {
        if (sub != "00")
            return std::nullopt;
        return "PR" + m_settings.password1.toLatin1() + m_settings.password2.toLatin1();
    }
    if (code == "PW") {
        if (payload.size() < 8)
            return std::nullopt;
        m_settings.password1 = QString::fromLatin1(payload.left(4));
        m_settings.password2 = QString::fromLatin1(payload.mid(4, 4));
        return QByteArray("PW");
    }
    if (code == "AD") {
        if (sub != "09")
            return std::nullopt;
        m_settings = DeviceSettings();
        return QByteArray("VI");
    }
    return std::nullopt;
}

} // namespace sim
