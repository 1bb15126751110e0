// Settings files picked on paths that are no regular file: a FIFO, a terminal, a device, a
// socket, a folder. None of them may hold the window; each is refused at once and left alone.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "app/SettingsFile.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <thread>
#include <utility>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

const QString openReadError = QString::fromUtf8("Невозможно открыть файл для чтения");
const QString openWriteError = QString::fromUtf8("Невозможно открыть файл для записи");

/// Runs Rescue after a grace period unless the watched call has returned: a blocked open or
/// read then ends, and the test fails instead of hanging.
class TWatchdog {
public:
    explicit TWatchdog(std::function<void()> Rescue)
        : FThread([this, Rescue] {
              std::unique_lock lock(FMutex);
              if (!FDone.wait_for(lock, std::chrono::seconds(3), [this] { return FReturned; })) {
                  Rescued = true;
                  Rescue();
              }
          })
    {
    }
    ~TWatchdog() { Returned(); }
    void Returned()
    {
        {
            std::lock_guard lock(FMutex);
            FReturned = true;
        }
        FDone.notify_all();
        if (FThread.joinable())
            FThread.join();
    }
    std::atomic<bool> Rescued{false};

private:
    std::mutex FMutex;
    std::condition_variable FDone;
    bool FReturned = false;
    std::thread FThread;
};

/// A pseudo-terminal: its slave is a real terminal whose read waits for input.
struct TTerminal {
    TTerminal()
    {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (Master >= 0 && ::grantpt(Master) == 0 && ::unlockpt(Master) == 0)
            Slave = QString::fromLocal8Bit(::ptsname(Master));
    }
    ~TTerminal()
    {
        if (Master >= 0)
            ::close(Master);
    }
    int Master = -1;
    QString Slave;
};

class SettingsFilePaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (QLineEdit *f : fields)
            f->setText(QStringLiteral("11"));
    }
    QString Path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList Texts() const
    {
        QStringList texts;
        for (QLineEdit *f : fields)
            texts << f->text();
        return texts;
    }
    /// Loading path shows openReadError alone, changes no field and never waits on it.
    void ExpectLoadRefused(const QString &path, const std::function<void()> &rescue)
    {
        SCOPED_TRACE(path.toStdString());
        const QStringList before = Texts();
        TMessageRecorder boxes;
        TWatchdog watchdog(rescue);
        LoadSettingsFile(path, fields);
        watchdog.Returned();
        EXPECT_FALSE(watchdog.Rescued) << "the load blocked";
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, openReadError);
        EXPECT_EQ(Texts(), before);
    }
    /// Saving over path shows openWriteError and leaves the node what it was.
    void ExpectSaveRefused(const QString &path, mode_t type)
    {
        SCOPED_TRACE(path.toStdString());
        TMessageRecorder boxes;
        TWatchdog watchdog([] {});
        SaveSettingsFile(path, fields);
        watchdog.Returned();
        EXPECT_FALSE(watchdog.Rescued) << "the save blocked";
        ASSERT_EQ(boxes.Calls.size(), 1u);
        EXPECT_EQ(boxes.Calls[0].Text, openWriteError);
        struct stat st;
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & S_IFMT, type);
    }

    QTemporaryDir dir;
    TfrmMain w;
    TSettingsFields fields = w.SettingsFields();
};

TEST_F(SettingsFilePaths, AFifoIsRefusedBothWaysAndNothingIsWrittenToIt)
{
    const QString fifo = Path("x.tqx");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A writer that turns up lets a blocked open go on, and then feeds it a whole file.
    ExpectLoadRefused(fifo, [&] {
        const int fd = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            const QByteArray file = QByteArray("TQ_CONF", 8) + QByteArray(28, '\0');
            if (::write(fd, file.constData(), size_t(file.size())) < 0) {} // a lost byte shows as the other side waiting in vain
            ::close(fd);
        }
    });

    // A reader on the other end sees nothing of a refused save.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ExpectSaveRefused(fifo, S_IFIFO);
    char byte;
    EXPECT_LT(::read(reader, &byte, 1), 1);
    ::close(reader);
}

TEST_F(SettingsFilePaths, TerminalsDevicesSocketsAndFoldersAreRefused)
{
    TTerminal terminal;
    ASSERT_FALSE(terminal.Slave.isEmpty());
    // A terminal's read waits for input; a rescue types a whole file and hangs up, so that a
    // read that wants more than a line ends too.
    ExpectLoadRefused(terminal.Slave, [&] {
        const QByteArray line = QByteArray("TQ_CONF", 8) + QByteArray(28, '\x01') + "\n";
        if (::write(terminal.Master, line.constData(), size_t(line.size())) < 0) {} // a lost byte shows as the other side waiting in vain
        ::close(std::exchange(terminal.Master, -1));
    });
    ExpectLoadRefused(QStringLiteral("/dev/zero"), [] {}); // reads as a well-formed empty file
    ExpectLoadRefused(dir.path(), [] {});
    ExpectSaveRefused(dir.path(), S_IFDIR);

    const QString socketPath = Path("s.tqx");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(socketPath);
    ASSERT_LT(size_t(name.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ExpectLoadRefused(socketPath, [] {});
    ExpectSaveRefused(socketPath, S_IFSOCK);
    ::close(sock);

    // A device node of our own (a copy of /dev/null), so a faulty save cannot harm /dev.
    const QString device = Path("null.tqx");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
        GTEST_SKIP() << "Saving over a device node not tried: mknod needs root";
    ExpectLoadRefused(device, [] {});
    ExpectSaveRefused(device, S_IFCHR);
}

TEST_F(SettingsFilePaths, PickingAFifoInTheOpenDialogLeavesTheWindowLive)
{
    const QString fifo = Path("picked.tqx");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    TMessageRecorder boxes;
    TWatchdog watchdog([&] { ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK)); });
    w.odOpen()->setDirectory(dir.path());
    w.odOpen()->selectFile(fifo);
    QTimer::singleShot(0, w.odOpen(), [this] {
        static_cast<QDialog *>(w.odOpen())->accept();
        if (w.odOpen()->isVisible())
            w.odOpen()->reject();
    });
    w.ToolButton1->click();
    watchdog.Returned();
    EXPECT_FALSE(watchdog.Rescued) << "the load blocked";
    ASSERT_EQ(boxes.Calls.size(), 1u);
    EXPECT_EQ(boxes.Calls[0].Text, openReadError);
}

} // namespace
