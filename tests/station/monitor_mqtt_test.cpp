#include "analysis/records/CivilTime.h"
#include "station/Monitor.h"
#include "station/MonitorOptions.h"
#include "station/MqttPublisher.h"
#include "station/WeatherMinutes.h"
#include "support/EventWaits.h"
#include "support/MqttBroker.h"
#include "support/FakeSerialPort.h"
#include "support/MeterEmulator.h"
#include "platform/QtSerialPort.h"
#include "support/TestZone.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <mutex>

#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

namespace {

// mosquitto_sub printing "topic payload" lines.
class Subscriber
{
public:
    explicit Subscriber(int port)
    {
        m_process.start(
            QStandardPaths::findExecutable("mosquitto_sub"),
            { "-p", QString::number(port), "-v", "-t", "vorn/#", "-t", "homeassistant/#" });
        m_process.waitForStarted();
        // Subscribed before the test goes on: a probe comes through.
        const QString pub = QStandardPaths::findExecutable("mosquitto_pub");
        for (int i = 0; i < 30 && on("vorn/probe").isEmpty(); ++i) {
            QProcess::execute(pub, { "-p", QString::number(port), "-t", "vorn/probe", "-m", "x" });
            WaitUntil([&] { return !on("vorn/probe").isEmpty(); }, 100);
        }
    }
    ~Subscriber()
    {
        m_process.terminate();
        m_process.waitForFinished(2000);
    }
    QStringList lines()
    {
        m_text += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    QStringList on(const QString &topic)
    {
        QStringList payloads;
        for (const QString &line : lines())
            if (line.startsWith(topic + QLatin1Char(' ')))
                payloads << line.mid(topic.size() + 1);
        return payloads;
    }
    bool waitFor(const QString &topic, int count, int ms = 5000)
    {
        return WaitUntil([&] { return on(topic).size() >= count; }, ms);
    }

private:
    QProcess m_process;
    QString m_text;
};

class MqttTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!Broker::available())
            GTEST_SKIP() << "no mosquitto broker installed";
    }
    std::unique_ptr<MqttPublisher> publisher(const QString &url, const QString &password = {},
                                             const QString &folder = {})
    {
        MqttSettings settings = *parseMqttUrl(url);
        if (!password.isEmpty()) {
            settings.user = QStringLiteral("station");
            settings.password = password;
        }
        return std::make_unique<MqttPublisher>(
            settings, QStringLiteral("north"),
            QDir(folder.isEmpty() ? dir.path() : folder).filePath("north mqtt spool.jsonl"),
            QStringLiteral("9.9"), [this](const QString &line) {
                const std::lock_guard lock(m_mutex);
                said << line;
            });
    }
    QStringList saidLines()
    {
        const std::lock_guard lock(m_mutex);
        return said;
    }
    static QByteArray row(int i)
    {
        return QStringLiteral("{\"start\": \"2026-06-01T10:0%1:00+02:00\"}").arg(i).toUtf8();
    }

    QTemporaryDir dir;
    std::mutex m_mutex;
    QStringList said;
};

TEST_F(MqttTest, PublishesStatusDiscoveryLevelsAndKeptRows)
{
    Broker broker(dir.path());
    ASSERT_TRUE(broker.start());
    Subscriber early(broker.port());
    auto mqtt = publisher(broker.url());
    mqtt->start();
    ASSERT_TRUE(early.waitFor("vorn/north/status", 1));
    EXPECT_EQ(early.on("vorn/north/status"), QStringList { "online" });
    for (const char *config : { "homeassistant/sensor/vorn_north/level/config",
                                "homeassistant/sensor/vorn_north/interval_leq/config",
                                "homeassistant/binary_sensor/vorn_north/alarm/config" }) {
        ASSERT_TRUE(early.waitFor(config, 1)) << config;
        const QJsonObject object
            = QJsonDocument::fromJson(early.on(config).first().toUtf8()).object();
        const QString id = QString::fromLatin1(config).section('/', 1, 1) + ".vorn_north_"
            + QString::fromLatin1(config).section('/', 3, 3);
        EXPECT_EQ(object["default_entity_id"].toString(), id) << config;
        EXPECT_EQ(object["object_id"].toString(), id.section('.', 1)) << config;
        if (QByteArray(config).contains("/level/")) {
            // A dead meter's last level is not shown as current.
            EXPECT_EQ(object["expire_after"].toInt(), 5);
            EXPECT_EQ(object["availability_mode"].toString(), "all");
            const QJsonArray availability = object["availability"].toArray();
            ASSERT_EQ(availability.size(), 2);
            EXPECT_EQ(availability[1].toObject()["topic"].toString(), "vorn/north/link");
            EXPECT_EQ(availability[1].toObject()["payload_not_available"].toString(), "lost");
        } else {
            EXPECT_EQ(object["availability_topic"].toString(), "vorn/north/status") << config;
        }
        EXPECT_EQ(object["device"].toObject()["identifiers"].toArray().first().toString(),
                  "vorn_north");
        if (QByteArray(config).contains("/sensor/")) {
            EXPECT_EQ(object["device_class"].toString(), "sound_pressure");
            EXPECT_EQ(object["unit_of_measurement"].toString(), "dB");
            EXPECT_EQ(object["state_class"].toString(), "measurement");
        }
    }
    const QByteArray level = Monitor::levelJson(
        QDateTime::fromString("2026-06-01T10:00:01", Qt::ISODate), QStringLiteral("63.4"),
        { QStringLiteral("A"), QStringLiteral("FAST"), QStringLiteral("50-110") });
    mqtt->publishLevel(level);
    mqtt->publishKept(QStringLiteral("interval"), row(1));
    ASSERT_TRUE(early.waitFor("vorn/north/level", 1));
    EXPECT_EQ(early.on("vorn/north/level").first(),
              "{\"time\": \"2026-06-01T10:00:01+02:00\", \"level\": 63.4, \"text\": \"63.4\", "
              "\"range\": \"50-110\", \"frequency_weighting\": \"A\", \"time_weighting\": "
              "\"FAST\"}");
    ASSERT_TRUE(WaitUntil([&] { return mqtt->spooled() == 0; }, 5000));
    // Retained: a subscriber that comes later still gets the last row.
    Subscriber late(broker.port());
    ASSERT_TRUE(late.waitFor("vorn/north/interval", 1));
    EXPECT_EQ(late.on("vorn/north/interval").first().toUtf8(), mqtt->withOrigin(row(1)));
    EXPECT_TRUE(late.on("vorn/north/level").isEmpty());

    // Home Assistant came back: it is told of the device again.
    QProcess::execute(
        QStandardPaths::findExecutable("mosquitto_pub"),
        { "-p", QString::number(broker.port()), "-t", "homeassistant/status", "-m", "online" });
    EXPECT_TRUE(early.waitFor("homeassistant/binary_sensor/vorn_north/alarm/config", 2));

    mqtt->stop();
    EXPECT_TRUE(late.waitFor("vorn/north/status", 2));
    EXPECT_EQ(late.on("vorn/north/status").last(), "offline");
    EXPECT_FALSE(QFile::exists(dir.filePath("north mqtt spool.jsonl")));
}

// Rows and alarms made while the broker is away wait in the spool, across a
// restart, and go out in their order once it is back; none goes out twice.
TEST_F(MqttTest, TheSpoolKeepsRowsWhileTheBrokerIsAwayAndAcrossARestart)
{
    Broker broker(dir.path());
    ASSERT_TRUE(broker.start());
    const int port = broker.port();
    const QString url = broker.url();
    broker.stop();

    auto away = publisher(url);
    away->start();
    away->publishLevel("{\"level\": 1}");
    away->publishKept(QStringLiteral("interval"), row(1));
    away->publishKept(QStringLiteral("alarm"), "{\"event\": \"alarm\"}");
    away->publishKept(QStringLiteral("interval"), row(2));
    ASSERT_TRUE(WaitUntil([&] { return away->spooled() == 3; }, 3000));
    away->stop();
    away.reset();
    EXPECT_EQ(saidLines().filter("cannot be reached").size(), 1)
        << saidLines().join("\n").toStdString();

    // A power cut in the middle of an append leaves a torn last line: the
    // next row must not be swallowed by it.
    {
        QFile spool(dir.filePath("north mqtt spool.jsonl"));
        ASSERT_TRUE(spool.open(QIODevice::Append));
        spool.write("{\"topic\": \"vorn/north/interval\", \"pay");
    }
    ASSERT_TRUE(broker.start(port)) << broker.log().toStdString();
    Subscriber sub(port);
    auto back = publisher(url);
    back->publishKept(QStringLiteral("interval"), row(3));
    back->start();
    ASSERT_TRUE(sub.waitFor("vorn/north/interval", 3))
        << sub.lines().join("\n").toStdString() << saidLines().join("\n").toStdString();
    ASSERT_TRUE(WaitUntil([&] { return back->spooled() == 0; }, 5000));
    QStringList order;
    for (const QString &line : sub.lines())
        if (line.startsWith("vorn/north/interval") || line.startsWith("vorn/north/alarm"))
            order << line;
    const auto sent = [&](const char *topic, const QByteArray &payload) {
        return QString::fromLatin1(topic) + QLatin1Char(' ') + back->withOrigin(payload);
    };
    EXPECT_EQ(order,
              QStringList({ sent("vorn/north/interval", row(1)),
                            sent("vorn/north/alarm", "{\"event\": \"alarm\"}"),
                            sent("vorn/north/interval", row(2)),
                            sent("vorn/north/interval", row(3)) }));
    EXPECT_TRUE(sub.on("vorn/north/level").isEmpty());
    back->stop();

    // A clean restart sends nothing of it again.
    Subscriber fresh(port);
    ASSERT_TRUE(fresh.waitFor("vorn/north/interval", 1)); // the retained one
    auto again = publisher(url);
    again->start();
    ASSERT_TRUE(fresh.waitFor("vorn/north/status", 2));
    WaitUntil([] { return false; }, 300);
    EXPECT_EQ(fresh.on("vorn/north/interval").size(), 1);
    EXPECT_EQ(fresh.on("vorn/north/alarm").size(), 1);

    // An outage of several attempts: its loss and its end are each said once.
    {
        const std::lock_guard lock(m_mutex);
        said.clear();
    }
    broker.stop();
    ASSERT_TRUE(WaitUntil([&] { return !saidLines().filter("is lost").isEmpty(); }, 10000));
    WaitUntil([] { return false; }, 3000);
    ASSERT_TRUE(broker.start(port)) << broker.log().toStdString();
    EXPECT_TRUE(WaitUntil(
        [&] { return !saidLines().filter("connected to " + url + " again").isEmpty(); }, 30000))
        << saidLines().join("\n").toStdString();
    EXPECT_EQ(saidLines().filter("is lost").size(), 1) << saidLines().join("\n").toStdString();
    again->stop();
}

// Readings wait in a segment a day, appended to while the broker is away and
// removed whole once it has every line; they are never retained, and the
// spool's older lines (without a retain flag) still are.
TEST_F(MqttTest, ReadingsWaitInDaySegmentsThatGoWholeOnceAcknowledged)
{
    Broker broker(dir.path());
    ASSERT_TRUE(broker.start());
    const int port = broker.port();
    broker.stop();
    {
        QFile spool(dir.filePath("north mqtt spool.jsonl"));
        ASSERT_TRUE(spool.open(QIODevice::WriteOnly));
        spool.write(R"({"topic": "vorn/north/interval", "payload": "{\"old\": 1}"})" "\n");
    }
    const QDate days[] = { QDate(2026, 12, 10), QDate(2026, 12, 11) };
    const auto minute = [](int i) { return QStringLiteral("{\"minute\": %1}").arg(i).toUtf8(); };
    auto away = publisher(broker.url());
    away->start();
    for (int i = 0; i < 6; ++i)
        away->publishReadings(days[i / 3], minute(i));
    const QString segment = dir.filePath(MqttPublisher::segmentName("north", days[0]));
    ASSERT_TRUE(WaitUntil([&] { return away->readingSegments() == 2; }, 3000));
    away->stop();
    away.reset();
    QFile file(segment);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), 3);
    file.close();
    // A torn line at a segment's end is a minute never acknowledged: cut off.
    {
        QFile torn(segment);
        ASSERT_TRUE(torn.open(QIODevice::Append));
        torn.write("{\"topic\": \"vorn/north/readings\", \"pay");
    }

    ASSERT_TRUE(broker.start(port)) << broker.log().toStdString();
    Subscriber sub(port);
    auto back = publisher(broker.url());
    back->start();
    ASSERT_TRUE(sub.waitFor("vorn/north/readings", 6)) << saidLines().join("\n").toStdString();
    EXPECT_TRUE(WaitUntil(
        [&] { return back->readingSegments() == 0 && !QFile::exists(segment); }, 5000));
    QStringList expected;
    for (int i = 0; i < 6; ++i)
        expected << QString::fromUtf8(back->withOrigin(minute(i)));
    EXPECT_EQ(sub.on("vorn/north/readings"), expected);
    EXPECT_EQ(saidLines().filter("torn line").size(), 1) << saidLines().join("\n").toStdString();
    back->stop();

    // A newcomer gets the old spool's line (retained) and no readings.
    Subscriber fresh(port);
    ASSERT_TRUE(fresh.waitFor("vorn/north/interval", 1));
    WaitUntil([] { return false; }, 300);
    EXPECT_TRUE(fresh.on("vorn/north/readings").isEmpty());
}

TEST_F(MqttTest, ARefusedPasswordIsSaidOnceAndNothingElseStops)
{
    const QString passwords = dir.filePath("passwords");
    ASSERT_EQ(QProcess::execute(QStandardPaths::findExecutable("mosquitto_passwd"),
                                { "-b", "-c", passwords, "station", "right" }),
              0);
    Broker broker(dir.path(),
                  QStringLiteral("allow_anonymous false\npassword_file %1").arg(passwords));
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    auto wrong = publisher(broker.url(), QStringLiteral("wrong"));
    wrong->start();
    wrong->publishKept(QStringLiteral("interval"), row(1));
    // Attempts after 1 s and 2 s more: still one message.
    WaitUntil([] { return false; }, 3500);
    EXPECT_EQ(saidLines().filter("refused the user name or password").size(), 1)
        << saidLines().join("\n").toStdString();
    EXPECT_FALSE(wrong->connected());
    EXPECT_EQ(wrong->spooled(), 1);
    wrong->stop(0);

    auto right = publisher(broker.url(), QStringLiteral("right"));
    right->start();
    EXPECT_TRUE(WaitUntil([&] { return right->spooled() == 0; }, 5000));
}

// TLS: the broker's certificate is verified; one signed by another
// authority is refused with a message that says so.
// The station's events and the state of its link to the meter reach the
// broker: a meter silent from the start is a lost link there too.
TEST_F(MqttTest, EventsAndTheLinkStateArePublished)
{
    Broker broker(dir.path());
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port());
    MonitorOptions options;
    options.portText = QStringLiteral("COM1");
    options.comPortNumber = 1;
    options.folder = dir.path();
    options.station = QStringLiteral("north");
    options.mqtt = parseMqttUrl(broker.url());
    FakeSerialPort port; // a meter that never answers
    Monitor monitor(options, port);
    ASSERT_TRUE(monitor.station().lockFolder().isEmpty());
    monitor.start();
    ASSERT_TRUE(sub.waitFor("vorn/north/link", 1, 8000)) << sub.lines().join("\n").toStdString();
    EXPECT_EQ(sub.on("vorn/north/link"), QStringList { "lost" });
    ASSERT_TRUE(sub.waitFor("vorn/north/event", 2));
    EXPECT_TRUE(sub.on("vorn/north/event").last().contains("\"event\": \"link lost\""))
        << sub.on("vorn/north/event").join("\n").toStdString();
    monitor.stop();

    // A meter that answers from the start: the broker hears "ok" at once,
    // so the level sensor that waits for it is available.
    if (MeterEmulator::program().isEmpty())
        GTEST_SKIP() << "no meter emulator built";
    MeterEmulator emulator;
    QString why;
    ASSERT_TRUE(emulator.start({ "--signal", "constant", "--level", "64.0" }, &why))
        << why.toStdString();
    QTemporaryDir other;
    options.folder = other.path();
    QtSerialPort meter;
    Monitor answered(options, meter);
    ASSERT_TRUE(answered.station().lockFolder().isEmpty());
    answered.start();
    ASSERT_TRUE(sub.waitFor("vorn/north/link", 2, 8000)) << sub.lines().join("\n").toStdString();
    EXPECT_EQ(sub.on("vorn/north/link").last(), "ok");
    answered.stop();
}

// Two stations of one name (the host name is a common default) in folders
// of their own stay on the broker side by side.
// Two stations of one name on one broker: neither knocks the other off,
// each says the other is there, their rows can be told apart, and the one
// that stops first leaves the other "online".
TEST_F(MqttTest, TwoStationsOfOneNameAreToldApartAndSaidOnce)
{
    Broker broker(dir.path());
    ASSERT_TRUE(broker.start());
    Subscriber sub(broker.port());
    QTemporaryDir other;
    auto first = publisher(broker.url());
    auto second = publisher(broker.url(), {}, other.path());
    QStringList firstTold, secondTold;
    std::mutex toldMutex;
    first->onEvent([&](const QString &name, const QString &) {
        const std::lock_guard lock(toldMutex);
        firstTold << name;
    });
    second->onEvent([&](const QString &name, const QString &detail) {
        const std::lock_guard lock(toldMutex);
        secondTold << name;
        if (name == "station name shared") {
            EXPECT_TRUE(detail.contains(first->folderHash())) << detail.toStdString();
        }
    });
    const auto told = [&](const QStringList &list) {
        const std::lock_guard lock(toldMutex);
        return list;
    };
    first->start();
    ASSERT_TRUE(WaitUntil([&] { return first->connected(); }, 5000));
    second->start();
    ASSERT_TRUE(WaitUntil([&] { return first->nameShared() && second->nameShared(); }, 5000));
    EXPECT_NE(first->folderHash(), second->folderHash());
    first->publishKept(QStringLiteral("interval"), row(1));
    second->publishKept(QStringLiteral("interval"), row(1));
    ASSERT_TRUE(sub.waitFor("vorn/north/interval", 2));
    QStringList folders;
    for (const QString &payload : sub.on("vorn/north/interval")) {
        const QJsonObject object = QJsonDocument::fromJson(payload.toUtf8()).object();
        EXPECT_EQ(object["start"].toString(), "2026-06-01T10:01:00+02:00");
        EXPECT_FALSE(object["host"].toString().isEmpty());
        folders << object["folder"].toString();
    }
    folders.sort();
    QStringList expected { first->folderHash(), second->folderHash() };
    expected.sort();
    EXPECT_EQ(folders, expected);

    first->stop();
    ASSERT_TRUE(WaitUntil([&] { return !second->nameShared(); }, 5000));
    // Neither was dropped for the other, and the stop left the other online.
    EXPECT_FALSE(sub.on("vorn/north/status").contains("offline"))
        << sub.lines().join("\n").toStdString();
    EXPECT_TRUE(saidLines().filter("ends each session at once").isEmpty());
    EXPECT_EQ(told(firstTold), QStringList { "station name shared" });
    EXPECT_EQ(told(secondTold),
              (QStringList { "station name shared", "station name no longer shared" }));
    // A station killed without a word: its last will says "offline", and the
    // other station, still running, says "online" again at once.
    QProcess::execute(QStandardPaths::findExecutable("mosquitto_pub"),
                      { "-p", QString::number(broker.port()), "-r", "-t", "vorn/north/status",
                        "-m", "offline" });
    ASSERT_TRUE(WaitUntil(
        [&] {
            const QStringList status = sub.on("vorn/north/status");
            return !status.isEmpty() && status.last() == "online" && status.contains("offline");
        },
        5000));
    second->stop();
    EXPECT_TRUE(WaitUntil([&] { return sub.on("vorn/north/status").last() == "offline"; }, 5000));
}

// A weather station's receiver publishing on the same broker: its messages
// reach the station as sent, and become a row a minute, its rain counted
// from the receiver's running total across a restart of the counter.
TEST_F(MqttTest, AWeatherStationsMessagesBecomeARowAMinute)
{
    Broker broker(dir.path());
    ASSERT_TRUE(broker.start());
    auto mqtt = publisher(broker.url());
    std::mutex heardMutex;
    QList<QByteArray> heard;
    mqtt->onMessagesOf(QStringLiteral("rtl_433/Fineoffset-WH24/1"), [&](const QByteArray &p) {
        const std::lock_guard lock(heardMutex);
        heard << p;
    });
    mqtt->start();
    ASSERT_TRUE(WaitUntil([&] { return mqtt->connected(); }, 5000));
    WaitUntil([] { return false; }, 300); // subscribed
    const QList<QByteArray> sent {
        R"({"time":"2026-06-01 10:00:10","model":"Fineoffset-WH24","id":1,"temperature_C":18.5,"wind_dir_deg":270,"wind_avg_m_s":4.0,"wind_max_m_s":6.0,"rain_mm":102.4})",
        R"({"time":"2026-06-01 10:00:40","model":"Fineoffset-WH24","id":1,"temperature_C":18.7,"wind_dir_deg":280,"wind_avg_km_h":21.6,"wind_max_km_h":36.0,"rain_mm":102.7})",
        R"({"time":"2026-06-01 10:01:10","model":"Fineoffset-WH24","id":1,"temperature_F":68.0,"wind_avg_mi_h":2.237,"rain_mm":0.2})",
        R"({"time":"2026-06-01 10:01:30","model":"Fineoffset-WH24","id":1,"battery_ok":1})",
    };
    for (const QByteArray &payload : sent)
        QProcess::execute(QStandardPaths::findExecutable("mosquitto_pub"),
                          { "-p", QString::number(broker.port()), "-t",
                            "rtl_433/Fineoffset-WH24/1", "-m", QString::fromUtf8(payload) });
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::lock_guard lock(heardMutex);
            return heard.size() == sent.size();
        },
        5000));
    mqtt->stop();
    // The receiver's own times, as the station's clock would take them.
    const CivilTime::ZoneScope zone(QTimeZone::utc());
    WeatherMinutes minutes;
    const int seconds[] = { 10, 40, 70, 90 };
    const QDateTime base = QDateTime::fromString("2026-06-01T10:00:00Z", Qt::ISODate);
    for (int i = 0; i < sent.size(); ++i)
        EXPECT_EQ(minutes.add(base.addSecs(seconds[i]), heard[i]), i < 3) << i;
    QStringList rows = minutes.rowsDue(base.addSecs(100));
    rows << minutes.rowsDue(base.addSecs(121));
    EXPECT_EQ(rows, (QStringList { "2026-06-01T10:01:00+00:00,5.0,10.0,280,0.3,18.7",
                                   "2026-06-01T10:02:00+00:00,1.0,1.0,,0.2,20.0" }));
    // As the hub gets them: the columns by name, a missing one null.
    EXPECT_EQ(Monitor::weatherJson(rows[1]),
              R"({"time": "2026-06-01T10:02:00+00:00", "wind_speed": 1.0, "wind_gust": 1.0, )"
              R"("wind_direction": null, "rain": 0.2, "temperature": 20.0})");
}

TEST_F(MqttTest, TlsVerifiesTheBrokersCertificate)
{
    const QString openssl = QStandardPaths::findExecutable("openssl");
    if (openssl.isEmpty())
        GTEST_SKIP() << "no openssl to make certificates";
    const auto run = [&](const QStringList &arguments) {
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(openssl, arguments);
        return p.waitForFinished(20000) && p.exitCode() == 0;
    };
    for (const char *ca : { "ca", "other" })
        ASSERT_TRUE(
            run({ "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                  QStringLiteral("/CN=%1").arg(ca), "-keyout", QStringLiteral("%1.key").arg(ca),
                  "-out", QStringLiteral("%1.crt").arg(ca) }));
    ASSERT_TRUE(run({ "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
                      "server.key", "-out", "server.csr" }));
    QFile ext(dir.filePath("san.ext"));
    ASSERT_TRUE(ext.open(QIODevice::WriteOnly));
    ext.write("subjectAltName=IP:127.0.0.1\n");
    ext.close();
    ASSERT_TRUE(
        run({ "x509", "-req", "-in", "server.csr", "-CA", "ca.crt", "-CAkey", "ca.key",
              "-CAcreateserial", "-days", "2", "-extfile", "san.ext", "-out", "server.crt" }));
    Broker broker(
        dir.path(),
        QStringLiteral("allow_anonymous true\ncafile %1\ncertfile %2\nkeyfile %3")
            .arg(dir.filePath("ca.crt"), dir.filePath("server.crt"), dir.filePath("server.key")));
    ASSERT_TRUE(broker.start()) << broker.log().toStdString();
    const QString url = QStringLiteral("mqtts://127.0.0.1:%1").arg(broker.port());
    const auto connectWith = [&](const char *ca) {
        MqttSettings settings = *parseMqttUrl(url);
        settings.caFile = dir.filePath(QLatin1String(ca));
        MqttPublisher mqtt(settings, QStringLiteral("north"), dir.filePath("spool"), "9.9",
                           [this](const QString &line) {
                               const std::lock_guard lock(m_mutex);
                               said << line;
                           });
        mqtt.start();
        const bool connected = WaitUntil([&] { return mqtt.connected(); }, 3000);
        mqtt.stop(0);
        return connected;
    };
    EXPECT_FALSE(connectWith("other.crt"));
    EXPECT_EQ(saidLines().filter("certificate cannot be verified").size(), 1)
        << saidLines().join("\n").toStdString();
    EXPECT_TRUE(connectWith("ca.crt")) << saidLines().join("\n").toStdString();
}

} // namespace

int main(int argc, char **argv)
{
    useTestZone("Europe/Berlin");
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
