// What a flood through the handover server costs the program's memory: one
// client sends requests of 16,000 characters for a while, reading each reply,
// on the last page; then lines "category=" of that length on the first page.
// Growth of the program is printed against the same flood of short requests
// (whose lines fill the log up to its bound in lines), and in all.
// On the X display when there is one (xvfb-run -a), offscreen otherwise.
//   bench_serverlog [SECONDS per flood, 60 when not given]
#include "FloodingClient.h"
#include "ProcessUsage.h"
#include "WizardFixture.h"

#include <QElapsedTimer>
#include <csignal>
#include <cstdio>

namespace {

struct Flood
{
    long requests = 0;
    qint64 grownBytes = 0;
    qint64 peakGrownBytes = 0;
};

// Sends `line` again and again for `seconds` from a thread of its own, and
// with `replies` reads the replies on another. The window's event loop runs
// meanwhile on this thread.
Flood flood(quint16 port, const QByteArray &line, bool replies, int seconds)
{
    FloodingClient client(
        port, line, replies ? FloodingClient::Replies::Read : FloodingClient::Replies::Unread);
    if (!client.connected()) {
        std::fprintf(stderr, "no connection to port %u\n", port);
        std::exit(1);
    }
    Flood result;
    const qint64 start = residentBytes();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000LL) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        result.peakGrownBytes = qMax(result.peakGrownBytes, residentBytes() - start);
    }
    client.stop();
    for (int i = 0; i < 20; ++i) // the connection's end and the last batch
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    result.grownBytes = residentBytes() - start;
    result.requests = client.sent();
    return result;
}

void print(const char *what, const Flood &f)
{
    std::printf("%-46s %8ld requests sent, grown %7.1f MB (peak %7.1f MB)\n", what, f.requests,
                double(f.grownBytes) / 1e6, double(f.peakGrownBytes) / 1e6);
}

} // namespace

int main(int argc, char *argv[])
{
    const bool onX = getenv("DISPLAY") != nullptr;
    if (!onX)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    signal(SIGPIPE, SIG_IGN);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: bench_serverlog [SECONDS]\n");
        return 2;
    }
    WizardFixture f;
    const qint64 atStart = residentBytes();
    const quint16 port = f.window->server().serverPort();
    const QByteArray longLine(16000, 'x');

    std::printf("server log under a flood, %d s each (%s)\n", seconds, onX ? "X" : "offscreen");
    const Flood categories = flood(port, "category=" + longLine, false, seconds);

    f.connectWithKey();
    f.answerNext(true); // hand over incomplete data
    f.click("BB_MeasNext");
    if (f.window->activePage() != WizardPage::Send) {
        std::fprintf(stderr, "the wizard did not reach its last page\n");
        return 1;
    }
    const Flood requests = flood(port, longLine, true, seconds);
    const Flood anchor = flood(port, "XXXX", true, seconds);
    print("16,000-character categories, first page", categories);
    print("16,000-character requests, last page", requests);
    print("short requests (anchor), last page", anchor);
    std::printf("grown in all since the window was shown: %.1f MB\n",
                double(residentBytes() - atStart) / 1e6);
    return 0;
}
