// The look: stored appearance values and the desktop's colour scheme giving the light, dark or
// platform look, and the palette that follows a change of the setting.

#include "storetesting.h"
#include "ui/common/theme.h"
#include "ui/shell/lookcontroller.h"

#include <QApplication>
#include <QStyle>
#include <QTest>

using namespace StoreTesting;
using Look = LookController::Look;
using Scheme = LookController::SystemScheme;

Q_DECLARE_METATYPE(std::optional<LookController::SystemScheme>)

class LookControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookFor_data();
    void lookFor();
    void portalValues_data();
    void portalValues();
    void paletteFollowsTheSetting();

private:
    StoreEnvironment m_environment;
};

void LookControllerTest::lookFor_data()
{
    QTest::addColumn<QString>("appearance");
    QTest::addColumn<std::optional<Scheme>>("system");
    QTest::addColumn<Look>("expected");
    QTest::newRow("system_without_portal_keeps_platform") << QStringLiteral("System") << std::optional<Scheme>() << Look::platform;
    QTest::newRow("system_no_preference_keeps_platform")
        << QStringLiteral("System") << std::optional<Scheme>(Scheme::noPreference) << Look::platform;
    QTest::newRow("system_dark_desktop") << QStringLiteral("System") << std::optional<Scheme>(Scheme::dark) << Look::dark;
    QTest::newRow("system_light_desktop") << QStringLiteral("System") << std::optional<Scheme>(Scheme::light) << Look::light;
    QTest::newRow("dark_on_light_desktop") << QStringLiteral("Dark") << std::optional<Scheme>(Scheme::light) << Look::dark;
    QTest::newRow("light_on_dark_desktop") << QStringLiteral("Light") << std::optional<Scheme>(Scheme::dark) << Look::light;
    QTest::newRow("unknown_value_is_light") << QStringLiteral("Sepia") << std::optional<Scheme>(Scheme::dark) << Look::light;
    QTest::newRow("lower_case_dark_is_unknown") << QStringLiteral("dark") << std::optional<Scheme>() << Look::light;
}

void LookControllerTest::lookFor()
{
    QFETCH(QString, appearance);
    QFETCH(std::optional<Scheme>, system);
    QFETCH(Look, expected);
    QCOMPARE(LookController::lookFor(appearance, system), expected);
}

void LookControllerTest::portalValues_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<Scheme>("expected");
    QTest::newRow("0_no_preference") << 0u << Scheme::noPreference;
    QTest::newRow("1_prefer_dark") << 1u << Scheme::dark;
    QTest::newRow("2_prefer_light") << 2u << Scheme::light;
    QTest::newRow("unknown_future_value") << 7u << Scheme::noPreference;
}

void LookControllerTest::portalValues()
{
    QFETCH(uint, value);
    QFETCH(Scheme, expected);
    QCOMPARE(LookController::schemeFromPortal(value), expected);
}

void LookControllerTest::paletteFollowsTheSetting()
{
    LibraryStore store(setup(m_environment.newSettingsFile()));
    store.setAppearance(QStringLiteral("Dark"));
    LookController controller(store);
    QCOMPARE(controller.current(), Look::dark);
    QVERIFY(Theme::isDark(QApplication::palette()));
    store.setAppearance(QStringLiteral("Something else"));
    QCOMPARE(controller.current(), Look::light);
    QVERIFY(!Theme::isDark(QApplication::palette()));
    QCOMPARE(QApplication::palette().color(QPalette::Window), Theme::lightPalette().color(QPalette::Window));
}

QTEST_MAIN(LookControllerTest)
#include "lookcontrollertest.moc"
