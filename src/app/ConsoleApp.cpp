#include "ConsoleApp.h"

#include "CheckedStore.h"
#include "InputBox.h"
#include "MsgBox.h"
#include "RecordExports.h"
#include "RecordWindow.h"
#include "SqliteStore.h"
#include "SyncedStore.h"
#include "Certificate.h"
#include "Program.h"
#include "modCommon.h"

#include <QBuffer>
#include <QCheckBox>
#include <QDir>
#include <QImage>

namespace {
const QString kRecordWindowSection = QStringLiteral("RecordWindow");
const QString kTechnicianSection = QStringLiteral("Technician");
constexpr int kLogoWidthPx = 400;
constexpr int kSendWaitingAfterMs = 2000;
} // namespace

ConsoleApp::ConsoleApp(Options options, QObject *parent)
    : QObject(parent), m_options(std::move(options)), m_signer(signerSetup([this](const QString &prompt, bool confirm) {
          QWidget *over = m_recordWindow ? static_cast<QWidget *>(m_recordWindow.get()) : &m_window;
          const QString title = QStringLiteral("Signing key");
          const QString first = platform::PasswordBox(over, prompt, title);
          if (first.isEmpty() || !confirm)
              return first.toUtf8();
          if (platform::PasswordBox(over, QStringLiteral("Type the passphrase once more:"), title) != first) {
              platform::MsgBox(QStringLiteral("The two passphrases differ."), platform::vbOKOnly | platform::vbExclamation, title);
              return QByteArray();
          }
          return first.toUtf8();
      }))
{
    m_visit.setProvider(provider());
    m_visit.setSigner(&m_signer);
    connect(&m_window, &frmMain::deviceEvent, &m_visit, &records::Visit::onDeviceEvent);
    connect(&m_window, &frmMain::recordWindowRequested, this, &ConsoleApp::showRecordWindow);
    m_sendWaiting.setSingleShot(true);
    connect(&m_sendWaiting, &QTimer::timeout, this, [this] { store().sendWaiting(); });
}

ConsoleApp::~ConsoleApp()
{
    m_recordWindow.reset();
}

void ConsoleApp::start()
{
    if (m_options.server)
        m_sendWaiting.start(kSendWaitingAfterMs); // records that waited for the server, once the window is up
    m_window.show();
}

records::RecordStore &ConsoleApp::store()
{
    if (!m_store) {
        if (m_options.server)
            m_store = std::make_unique<records::SyncedStore>(m_options.recordsFile, *m_options.server);
        else
            m_store = std::make_unique<records::SqliteStore>(m_options.recordsFile);
        m_checked = std::make_unique<signing::CheckedStore>(*m_store, laboratoryFolder());
    }
    return *m_checked;
}

void ConsoleApp::showRecordWindow()
{
    if (!m_recordWindow) {
        m_recordWindow = std::make_unique<RecordWindow>(m_visit);
        m_recordWindow->setAttribute(Qt::WA_QuitOnClose, false);
        m_recordWindow->setKeptGeometry(keptGeometry());
        m_recordWindow->setStore(&store());
        m_recordWindow->setServerNote(m_options.serverNote);
        m_recordWindow->setPaper(paper());
        m_recordWindow->setCertificateSigner([this](const records::Record &r, const QString &path, const QDate &nextDue) {
            return exports::finishCertificate(m_signer, r, path, nextDue, m_visit.sealNote());
        });
        m_recordWindow->setDccWriter([this](const records::Record &r, const QString &path, const QDate &nextDue, QString *error,
                                            QString *note) {
            return exports::writeDcc(m_signer, r, path, nextDue, m_visit.sealNote(), error, note);
        });
        m_recordWindow->setLabelSize(exports::labelSize());
        m_recordWindow->setTechnician(modCommon::GetString_ofINI(kTechnicianSection, QStringLiteral("Name"), QString()));
        connect(m_recordWindow.get(), &RecordWindow::technicianNamed, this, [](const QString &name) {
            modCommon::SetString_ofINI(kTechnicianSection, QStringLiteral("Name"), name);
        });
        m_recordWindow->tests->autoCapture->setChecked(
            modCommon::GetString_ofINI(kRecordWindowSection, QStringLiteral("AutoCapture"), QString()) == QLatin1String("1"));
        connect(m_recordWindow.get(), &RecordWindow::autoCaptureToggled, this, [](bool on) {
            modCommon::SetString_ofINI(kRecordWindowSection, QStringLiteral("AutoCapture"), on ? QStringLiteral("1") : QStringLiteral("0"));
        });
    }
    m_recordWindow->showBeside(&m_window, m_window.buttonRowsOnScreen());
}

void ConsoleApp::finish()
{
    if (!m_recordWindow)
        return;
    keepGeometry(m_recordWindow->keptGeometry());
    m_recordWindow->finish();
}

QRect ConsoleApp::keptGeometry()
{
    const auto value = [](const char *key) {
        bool ok = false;
        const int n = modCommon::GetString_ofINI(kRecordWindowSection, QLatin1String(key), QString()).toInt(&ok);
        return ok ? n : 0;
    };
    return {value("Left"), value("Top"), value("Width"), value("Height")};
}

void ConsoleApp::keepGeometry(const QRect &frame)
{
    if (frame.isEmpty())
        return;
    const std::pair<const char *, int> values[] = {
        {"Left", frame.left()}, {"Top", frame.top()}, {"Width", frame.width()}, {"Height", frame.height()}};
    for (const auto &[key, value] : values)
        modCommon::SetString_ofINI(kRecordWindowSection, QLatin1String(key), QString::number(value));
}

records::Provider ConsoleApp::provider()
{
    const auto value = [](const char *key) {
        return modCommon::GetString_ofINI(QStringLiteral("Provider"), QLatin1String(key), QString()).trimmed();
    };
    records::Provider p{value("Name"), value("Address"), value("AccreditationBody"), value("AccreditationNumber"), {}};
    if (const QString logo = value("Logo"); !logo.isEmpty()) {
        QImage image(QDir(platform::dataDir()).absoluteFilePath(logo));
        if (image.isNull()) {
            modCommon::Save_ErrorLog(modCommon::errorLine("provider", 0, QStringLiteral("the logo %1 cannot be read").arg(logo)), true);
        } else {
            if (image.width() > kLogoWidthPx)
                image = image.scaledToWidth(kLogoWidthPx, Qt::SmoothTransformation);
            QBuffer png(&p.logoPng);
            png.open(QIODevice::WriteOnly);
            image.save(&png, "PNG");
        }
    }
    return p;
}

QString ConsoleApp::laboratoryFolder()
{
    const QString folder = modCommon::GetString_ofINI(QStringLiteral("Laboratory"), QStringLiteral("Folder"), QString()).trimmed();
    return folder.isEmpty() ? platform::dataDir() : QDir(platform::dataDir()).absoluteFilePath(folder);
}

signing::SignerSetup ConsoleApp::signerSetup(std::function<QByteArray(const QString &prompt, bool confirm)> passphrase)
{
    signing::SignerSetup setup;
    setup.dataFolder = platform::dataDir();
    setup.laboratoryFolder = laboratoryFolder();
    setup.who = [] {
        return signing::Name{modCommon::GetString_ofINI(kTechnicianSection, QStringLiteral("Name"), QString()).simplified(), provider().name};
    };
    setup.passphrase = std::move(passphrase);
    setup.systemStore = modCommon::GetString_ofINI(QStringLiteral("Signing"), QStringLiteral("KeyStore"), QString()) != QLatin1String("file");
    return setup;
}

QPageSize::PageSizeId ConsoleApp::paper()
{
    return records::paperFromName(modCommon::GetString_ofINI(QStringLiteral("Certificate"), QStringLiteral("Paper"), QString()));
}
