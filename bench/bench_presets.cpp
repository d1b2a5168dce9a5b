// Loading a large presets file, measured in one run against anchors:
//  - the presets of a 100,000-line "Kromaglen.ini" read, parsed and sorted,
//    against reading the same file's lines without parsing them;
//  - the window starting with that file, against starting with none.
#include "../tests/fakes/Fakes.h"
#include "Cp1250.h"
#include "FileRegistry.h"
#include "KromaglenForZov_M.h"
#include "PlanPresets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPresets = 100000;
constexpr int kRounds = 5;

QByteArray presetsFile()
{
    const QStringList words = {u"Ágy"_qs, u"alap"_qs, u"Éva"_qs,  u"Zöld"_qs, u"kombi"_qs,
                               u"Őz"_qs,  u"busz"_qs, u"Üveg"_qs, u"M1"_qs,   u"N2"_qs};
    QRandomGenerator random(4747);
    QByteArray out;
    for (int i = 0; i < kPresets; ++i) {
        QString line = words.at(int(random.bounded(words.size()))) + QString::number(i);
        for (int k = 0; k < 23; ++k)
            line += QStringLiteral(":%1:%2").arg(22 - k).arg(random.bounded(2) ? u"I" : u"N");
        out += Cp1250::encode(line) + "\r\n";
    }
    return out;
}

// The median of a few rounds, in milliseconds.
template <typename F> double medianMs(F &&run)
{
    std::vector<double> ms;
    for (int i = 0; i < kRounds; ++i) {
        QElapsedTimer clock;
        clock.start();
        run();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

double windowStartMs()
{
    FakeGaugePort port;
    FakeSoundPlayer player;
    FakeBeeper beeper;
    FakeShell shell;
    FileRegistry registry;
    TF_MainServices services;
    services.port = &port;
    services.registry = &registry;
    services.player = &player;
    services.beeper = &beeper;
    services.shell = &shell;
    services.serverPort = 0;
    return medianMs([&services] { TF_Main window(services); });
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const double startEmpty = windowStartMs();

    const QByteArray content = presetsFile();
    {
        QFile file(QStringLiteral("Kromaglen.ini"));
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }
    qsizetype lines = 0;
    const double readOnly = medianMs([&lines] {
        QFile file(QStringLiteral("Kromaglen.ini"));
        file.open(QIODevice::ReadOnly);
        lines = 0;
        for (const QByteArray &line : file.readAll().split('\n'))
            lines += Cp1250::decode(line).isEmpty() ? 0 : 1;
    });
    int loaded = 0;
    const double load = medianMs([&loaded] {
        PlanPresets presets(QStringLiteral("Kromaglen.ini"));
        presets.load();
        loaded = presets.count();
    });
    const double startFull = windowStartMs();

    std::printf("presets file: %d lines, %.1f MB\n", int(lines), double(content.size()) / 1e6);
    std::printf("load %d presets (parse, Hungarian sort): %.1f ms; read the lines only: %.1f ms "
                "(%.2fx)\n",
                loaded, load, readOnly, load / readOnly);
    std::printf("window start-up with them: %.1f ms; with no presets file: %.1f ms (%.2fx)\n",
                startFull, startEmpty, startFull / startEmpty);
    return loaded == kPresets ? 0 : 1;
}
