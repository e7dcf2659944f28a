// kalvor's start before any window: --help and --version answer and end,
// an unknown option is refused, and without a display the program says so
// in Russian and names kalvor-calc instead of aborting inside Qt.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <map>

#include "app/LaunchOptions.h"

namespace {

LaunchDecision Decide(const std::vector<std::string>& args, std::map<std::string, std::string> env) {
  return DecideLaunch(args, [&env](const char* name) { return env.count(name) ? env[name] : std::string(); });
}

const std::map<std::string, std::string> kX11 = {{"DISPLAY", ":0"}};

TEST(LaunchTest, HelpAndVersionEndAtOnceWhateverTheDisplay) {
  for (const auto& env : {kX11, std::map<std::string, std::string>{}}) {
    const LaunchDecision help = Decide({"--help"}, env);
    EXPECT_FALSE(help.proceed);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("kalvor [FILE]"), std::string::npos) << help.out;
    EXPECT_NE(help.out.find("kalvor-calc"), std::string::npos);
    EXPECT_TRUE(help.err.empty());
    const LaunchDecision version = Decide({"some.txt", "--version"}, env);
    EXPECT_FALSE(version.proceed);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("kalvor ") + KALVOR_VERSION + "\n");
  }
  // The usage follows a Russian locale.
  EXPECT_NE(Decide({"-h"}, {{"LANG", "ru_RU.UTF-8"}}).out.find("Использование: kalvor [ФАЙЛ]"), std::string::npos);
  EXPECT_NE(Decide({"--help"}, {{"LC_ALL", "C"}, {"LANG", "ru_RU.UTF-8"}}).out.find("Usage:"), std::string::npos);
}

TEST(LaunchTest, WithoutADisplayTheProgramNamesKalvorCalcAndEndsWithOne) {
  const LaunchDecision d = Decide({"system.txt"}, {{"LANG", "C"}});
  EXPECT_FALSE(d.proceed);
  EXPECT_EQ(d.exitCode, 1);
  EXPECT_NE(d.err.find("нет графического дисплея"), std::string::npos) << d.err;
  EXPECT_NE(d.err.find("kalvor-calc СИСТЕМА.txt"), std::string::npos);
  // Any of the displays, or a platform chosen for Qt, lets it go on.
  EXPECT_TRUE(Decide({"system.txt"}, kX11).proceed);
  EXPECT_TRUE(Decide({}, {{"WAYLAND_DISPLAY", "wayland-0"}}).proceed);
  EXPECT_TRUE(Decide({}, {{"QT_QPA_PLATFORM", "offscreen"}}).proceed);
  EXPECT_TRUE(Decide({"-platform", "offscreen", "system.txt"}, {}).proceed);
}

TEST(LaunchTest, AnUnknownOptionIsRefusedNotOpenedAsAFile) {
  const LaunchDecision d = Decide({"--helpp"}, kX11);
  EXPECT_FALSE(d.proceed);
  EXPECT_EQ(d.exitCode, 2);
  EXPECT_NE(d.err.find("неизвестный параметр --helpp"), std::string::npos) << d.err;
  // The value of a Qt option is not taken for one of ours.
  EXPECT_TRUE(Decide({"-style", "--fusion"}, kX11).proceed);
}

// The program itself: no window is opened for --help, none is tried without
// a display.
TEST(LaunchTest, TheProgramAnswersHelpAndRefusesToStartWithoutADisplay) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QString::fromLatin1(name));
  env.insert(QStringLiteral("LANG"), QStringLiteral("C"));
  auto run = [&](const QStringList& args, QByteArray& out, QByteArray& err) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KALVOR_BINARY), args);
    EXPECT_TRUE(p.waitForFinished(30000));
    out = p.readAllStandardOutput();
    err = p.readAllStandardError();
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  };
  QByteArray out, err;
  EXPECT_EQ(run({QStringLiteral("--help")}, out, err), 0);
  EXPECT_TRUE(out.contains("Usage: kalvor [FILE]")) << out.toStdString();
  EXPECT_EQ(run({QStringLiteral("--version")}, out, err), 0);
  EXPECT_EQ(out.toStdString(), std::string("kalvor ") + KALVOR_VERSION + "\n");
  EXPECT_EQ(run({}, out, err), 1);
  EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("нет графического дисплея"))) << err.toStdString();
}

}  // namespace
