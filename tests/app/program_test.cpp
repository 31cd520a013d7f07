// The program from outside: launched under its own X server and closed with
// Esc, and stopped through the stop box.
#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QThread>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "base/fatal.h"

namespace {

const QString kBin = QStringLiteral(VANTRELO_BIN_DIR);

// An Xvfb of our own on a free display, which it picks and reports (-displayfd).
class PrivateX {
public:
    PrivateX() {
        int fds[2];
        if (pipe(fds) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        close(fds[0]);
        if (!number.empty()) m_display = QStringLiteral(":") + QString::fromStdString(number);
    }
    ~PrivateX() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
    }
    const QString& display() const { return m_display; }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", m_display);
        env.remove("QT_QPA_PLATFORM");
        return env;
    }

private:
    pid_t m_pid = -1;
    QString m_display;
};

QStringList run(const QProcessEnvironment& env, const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    p.waitForFinished(10000);
    return QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QStringList findWindows(const PrivateX& x, int expected) {
    QStringList ids;
    for (int i = 0; i < 100 && ids.size() < expected; ++i) {
        ids = run(x.environment(), "xdotool", {"search", "--name", "^Vantrelo v1\\.01$"});
        if (ids.size() < expected) QThread::msleep(100);
    }
    return ids;
}

TEST(Program, OpensItsWindowAndEndsWithStatusZeroWhenClosedWithEscape) {
    PrivateX x;
    ASSERT_FALSE(x.display().isEmpty());
    // Arguments, Qt's own among them, change nothing.
    const QStringList args = {"--whatever", "-platform", "offscreen", "card.bmp"};
    QProcess first, second;
    for (QProcess* p : {&first, &second}) {
        p->setProcessEnvironment(x.environment());
        p->start(kBin + "/vantrelo", args);
        ASSERT_TRUE(p->waitForStarted(5000));
    }
    // Two launches, two independent windows.
    const QStringList ids = findWindows(x, 2);
    ASSERT_EQ(ids.size(), 2);
    const QStringList geometry = run(x.environment(), "xdotool", {"getwindowgeometry", ids[0]});
    ASSERT_GE(geometry.size(), 3);
    EXPECT_TRUE(geometry[2].contains("635x")) << geometry[2].toStdString();

    for (const QString& id : ids) {
        run(x.environment(), "xdotool", {"windowfocus", "--sync", id});
        run(x.environment(), "xdotool", {"key", "--clearmodifiers", "Escape"});
        QThread::msleep(200);
    }
    for (QProcess* p : {&first, &second}) {
        ASSERT_TRUE(p->waitForFinished(10000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
}

QString hex(const std::string& bytes) { return QString::fromLatin1(QByteArray::fromStdString(bytes).toHex()); }

struct ProbeResult {
    int status = -100;
    QStringList lines;
    QString value(const QString& key) const {
        for (const QString& line : lines)
            if (line.startsWith(key + ':')) return line.mid(key.size() + 1);
        return {};
    }
};

ProbeResult probe(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(kBin + "/vantrelo-fatal-probe", args);
    ProbeResult r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    return r;
}

TEST(StopBox, ShowsTheExactTextThenEndsWithMinusOneWithoutTheExitHook) {
    const std::string message = "\xb7\xd6\xc5\xe4 123 \xd7\xd6\xbd\xda";  // GBK bytes
    const struct {
        int code;
        std::string message;
    } cases[] = {{4, message}, {0, message}, {0, ""}, {-7, ""}};
    for (const auto& c : cases) {
        const ProbeResult r = probe({"stop", QString::number(c.code), hex(c.message)});
        EXPECT_EQ(r.status, 255) << c.code;
        EXPECT_EQ(r.value("caption"), QString::fromUtf8("\xe9\x94\x99\xe8\xaf\xaf"));  // 错误
        EXPECT_EQ(r.value("icon"), QString::number(3));                               // QMessageBox::Critical
        EXPECT_EQ(r.value("buttons"), "1");
        EXPECT_EQ(r.value("owner"), "0");
        EXPECT_EQ(r.value("text"), hex(vantrelo::composeFatalText(vantrelo::Text(c.message), c.code))) << c.code;
        EXPECT_FALSE(r.lines.contains("exit-hook-ran"));
    }
}

TEST(StopBox, UnreadableWindowDataStopsTheStart) {
    const ProbeResult r = probe({"descriptions"});
    EXPECT_EQ(r.status, 255);
    const std::string expected =
        std::string("\xd4\xcb\xd0\xd0\xca\xb1\xb3\xf6\xb4\xed!\r\n\r\n") + /* 运行时出错! */
        "\xb4\xed\xce\xf3\xd0\xc5\xcf\xa2\xa3\xba" /* 错误信息： */
        "\xd4\xd8\xc8\xeb\xb4\xb0\xbf\xda\xc4\xa3\xb0\xe5\xca\xfd\xbe\xdd\xb6\xce\xb3\xf6\xb4\xed!\r\n"; /* 载入窗口模板数据段出错! */
    EXPECT_EQ(r.value("text"), hex(expected));
    EXPECT_FALSE(r.lines.contains("exit-hook-ran"));
}

}  // namespace
