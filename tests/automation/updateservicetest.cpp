#include "automation/updateservice.h"

#include "automation/feedupdater.h"
#include "automation/updatefeed.h"
#include "support/testtree.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <openssl/evp.h>

namespace {

// An Ed25519 key pair made for the test.
class SigningKey
{
public:
    SigningKey()
        : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519"), &EVP_PKEY_free)
    { }
    QByteArray publicKey() const
    {
        QByteArray raw(32, '\0');
        size_t length = size_t(raw.size());
        EVP_PKEY_get_raw_public_key(m_key.get(), reinterpret_cast<unsigned char *>(raw.data()), &length);
        return raw;
    }
    QByteArray sign(const QByteArray &data) const
    {
        QByteArray signature(64, '\0');
        size_t length = size_t(signature.size());
        const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
        EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_key.get());
        EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &length,
            reinterpret_cast<const unsigned char *>(data.constData()), size_t(data.size()));
        return signature.toBase64();
    }

private:
    std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> m_key;
};

// A one-request-per-connection HTTPS server on 127.0.0.1 answering GET with fixed bodies.
class HttpsServer : public QObject
{
public:
    HttpsServer(const QSslCertificate &certificate, const QSslKey &key)
    {
        QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
        ssl.setLocalCertificate(certificate);
        ssl.setPrivateKey(key);
        m_server.setSslConfiguration(ssl);
        connect(&m_server, &QSslServer::pendingConnectionAvailable, this, &HttpsServer::accept);
        m_server.listen(QHostAddress::LocalHost);
    }
    QString url(const QString &path) const
    {
        return QStringLiteral("https://127.0.0.1:%1/%2").arg(m_server.serverPort()).arg(path);
    }
    QHash<QString, QByteArray> bodies;

private:
    void accept()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                m_requests[socket] += socket->readAll();
                if (!m_requests[socket].contains("\r\n\r\n"))
                    return;
                const QString path = QString::fromLatin1(m_requests.take(socket).split(' ').value(1)).mid(1);
                const QByteArray body = bodies.value(path);
                const QByteArray status = bodies.contains(path) ? "200 OK" : "404 Not Found";
                socket->write("HTTP/1.1 " + status + "\r\nContent-Length: " + QByteArray::number(body.size())
                    + "\r\nConnection: close\r\n\r\n" + body);
                socket->disconnectFromHost();
            });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    QSslServer m_server;
    QHash<QTcpSocket *, QByteArray> m_requests;
};

QByteArray feed(const QString &version, const QString &url, const QByteArray &signature)
{
    return QStringLiteral("<?xml version=\"1.0\"?><rss version=\"2.0\"><channel><title>Tessary</title>"
                          "<item><version>0.9.0</version><enclosure url=\"%2-old\" signature=\"%3\"/></item>"
                          "<item><title>Tessary %1</title><version>%1</version>"
                          "<enclosure url=\"%2\" length=\"5\" signature=\"%3\"/></item>"
                          "</channel></rss>")
        .arg(version, url, QString::fromLatin1(signature))
        .toUtf8();
}

} // namespace

class UpdateServiceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_setups = 0;

    // A setup whose files lie in a folder of their own.
    UpdateService::Setup setup(
        const QVariant &feedUrl, const QVariant &key, const QVariant &version = QStringLiteral("1.0.0"))
    {
        const QString folder = m_dir.filePath(QString::number(++m_setups));
        return { feedUrl, key, version, folder + QStringLiteral("/updates"), folder + QStringLiteral("/updates.json"),
            {} };
    }
    static QString key(int bytes) { return QString::fromLatin1(QByteArray(bytes, '\x5a').toBase64()); }
    static QString validFeed() { return QStringLiteral("https://updates.invalid/feed.xml"); }

private Q_SLOTS:
    void feedAndKeyDecideConfiguration_data()
    {
        QTest::addColumn<QVariant>("feedUrl");
        QTest::addColumn<QVariant>("publicKey");
        QTest::addColumn<bool>("configured");

        const QVariant good = key(32);
        QTest::newRow("https feed and a 32-byte key") << QVariant(validFeed()) << good << true;
        QTest::newRow("http feed") << QVariant(QStringLiteral("http://updates.invalid/feed.xml")) << good << false;
        QTest::newRow("file feed") << QVariant(QStringLiteral("file:///srv/feed.xml")) << good << false;
        QTest::newRow("no scheme") << QVariant(QStringLiteral("updates.invalid/feed.xml")) << good << false;
        QTest::newRow("no feed") << QVariant() << good << false;
        QTest::newRow("key of 31 bytes") << QVariant(validFeed()) << QVariant(key(31)) << false;
        QTest::newRow("key of 33 bytes") << QVariant(validFeed()) << QVariant(key(33)) << false;
        QTest::newRow("key without its padding") << QVariant(validFeed()) << QVariant(key(32).chopped(1)) << false;
        QTest::newRow("key that is not Base64")
            << QVariant(validFeed()) << QVariant(QStringLiteral("not a key")) << false;
        QTest::newRow("no key") << QVariant(validFeed()) << QVariant() << false;
    }

    void feedAndKeyDecideConfiguration()
    {
        QFETCH(QVariant, feedUrl);
        QFETCH(QVariant, publicKey);
        QFETCH(bool, configured);
        UpdateService service(setup(feedUrl, publicKey));
        service.start();
        QCOMPARE(service.configured(), configured);
        QCOMPARE(service.updater() != nullptr, configured);
        // Unconfigured, checking does nothing.
        service.check();
        QCOMPARE(service.updater() != nullptr && service.updater()->checking(), configured);
    }

    void startingTwiceKeepsOneUpdater()
    {
        UpdateService service(setup(validFeed(), key(32)));
        QSignalSpy configuredChanges(&service, &UpdateService::configuredChanged);
        service.start();
        const FeedUpdater *first = service.updater();
        service.start();
        QCOMPARE(service.updater(), first);
        QCOMPARE(configuredChanges.size(), 1);
    }

    void automaticSwitchesChecksAndDownloadsTogether()
    {
        const UpdateService::Setup shared = setup(validFeed(), key(32));
        {
            UpdateService service(shared);
            service.start();
            QVERIFY(!service.automatic());
            service.setAutomatic(true);
            QVERIFY(service.updater()->automaticallyChecksForUpdates());
            QVERIFY(service.updater()->automaticallyDownloadsUpdates());
            service.setAutomatic(false);
            QVERIFY(!service.updater()->automaticallyChecksForUpdates());
            QVERIFY(!service.updater()->automaticallyDownloadsUpdates());
            service.setAutomatic(true);
        }
        // The updater keeps the choice across launches.
        UpdateService again(shared);
        again.start();
        QVERIFY(again.automatic());
    }

    void newestRelease_data()
    {
        QTest::addColumn<QString>("versions"); // the feed's items, "version@scheme" each
        QTest::addColumn<QString>("newest");
        QTest::newRow("numbers, not text")
            << QStringLiteral("1.9@https 1.10@https 1.2@https") << QStringLiteral("1.10");
        QTest::newRow("a missing part counts as zero")
            << QStringLiteral("2@https 2.0.1@https") << QStringLiteral("2.0.1");
        QTest::newRow("an enclosure that is not https is left out")
            << QStringLiteral("1.4@https 9.0@http") << QStringLiteral("1.4");
        QTest::newRow("nothing usable") << QStringLiteral("3.0@ftp") << QString();
    }

    void newestRelease()
    {
        QFETCH(QString, versions);
        QFETCH(QString, newest);
        QByteArray document = "<rss><channel>";
        for (const QString &item : versions.split(u' ')) {
            const QStringList parts = item.split(u'@');
            document += "<item><version>" + parts[0].toUtf8() + "</version><enclosure url=\"" + parts[1].toUtf8()
                + "://updates.invalid/t.deb\" signature=\"AA==\"/></item>";
        }
        document += "</channel></rss>";
        const std::optional<UpdateFeed::Release> release = UpdateFeed::newest(UpdateFeed::parse(document).releases);
        QCOMPARE(release ? release->version : QString(), newest);
    }

    void checksTheFeedOverHttps_data()
    {
        QTest::addColumn<QString>("feedVersion");
        QTest::addColumn<bool>("downloads");
        QTest::addColumn<bool>("tampered");
        QTest::addColumn<QString>("status"); // %1: the downloaded file
        QTest::addColumn<bool>("kept");

        QTest::newRow("a signed download is kept")
            << QStringLiteral("1.4.0") << true << false
            << QStringLiteral("Tessary 1.4.0 is available. The signed download is in %1.") << true;
        QTest::newRow("a tampered download is refused")
            << QStringLiteral("1.4.0") << true << true
            << QStringLiteral("Tessary 1.4.0 is available, but its download was refused: the signature does not match.")
            << false;
        QTest::newRow("without automatic downloads it only tells")
            << QStringLiteral("1.4.0") << false << false << QStringLiteral("Tessary 1.4.0 is available.") << false;
        QTest::newRow("the newest release is the running one")
            << QStringLiteral("1.0.0") << true << false << QStringLiteral("Tessary is up to date.") << false;
    }

    void checksTheFeedOverHttps()
    {
        QFETCH(QString, feedVersion);
        QFETCH(bool, downloads);
        QFETCH(bool, tampered);
        QFETCH(QString, status);
        QFETCH(bool, kept);

        // A self-signed certificate for 127.0.0.1, trusted by this test only.
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
            { QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                QStringLiteral("-keyout"), m_dir.filePath(QStringLiteral("server.key")), QStringLiteral("-out"),
                m_dir.filePath(QStringLiteral("server.crt")), QStringLiteral("-days"), QStringLiteral("1"),
                QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
                QStringLiteral("subjectAltName=IP:127.0.0.1") });
        QVERIFY(openssl.waitForFinished(30'000) && openssl.exitCode() == 0);
        const QList<QSslCertificate> certificates
            = QSslCertificate::fromPath(m_dir.filePath(QStringLiteral("server.crt")));
        QVERIFY(!certificates.isEmpty());
        HttpsServer server(certificates.first(),
            QSslKey(readFile(QFile::encodeName(m_dir.filePath(QStringLiteral("server.key")))), QSsl::Ec));

        const SigningKey signing;
        const QByteArray package = "12345";
        server.bodies.insert(QStringLiteral("feed.xml"),
            feed(feedVersion, server.url(QStringLiteral("tessary_1.4.0_amd64.deb")), signing.sign(package)));
        server.bodies.insert(QStringLiteral("tessary_1.4.0_amd64.deb"), tampered ? QByteArray("12346") : package);

        UpdateService::Setup updates
            = setup(server.url(QStringLiteral("feed.xml")), QString::fromLatin1(signing.publicKey().toBase64()));
        updates.trusted = certificates;
        UpdateService service(updates);
        service.start();
        QVERIFY(service.configured());
        service.setAutomatic(downloads);
        // Only the check asked for here: the automatic one is a day away after this.
        QSignalSpy statusChanges(&service, &UpdateService::statusChanged);
        service.check();
        QTRY_VERIFY_WITH_TIMEOUT(!service.updater()->checking(), 20'000);

        const QString downloaded = updates.cacheFolder + QStringLiteral("/tessary_1.4.0_amd64.deb");
        QCOMPARE(service.status(), status.contains(QStringLiteral("%1")) ? status.arg(downloaded) : status);
        QCOMPARE(readFile(QFile::encodeName(downloaded)), kept ? package : QByteArray("<missing>"));
        QVERIFY(QDir(updates.cacheFolder).entryList(QDir::Files | QDir::Hidden).size() == (kept ? 1 : 0));
    }
};

QTEST_GUILESS_MAIN(UpdateServiceTest)
#include "updateservicetest.moc"
