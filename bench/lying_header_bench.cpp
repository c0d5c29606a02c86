// Loads each file named on the command line in a fresh child process and reports the outcome,
// the wall and processor time and the child's peak resident memory (getrusage through wait4). Meant for files
// whose headers declare a huge size over almost no data: each should finish in well under a
// second and under 200 MB.
#include "imaging/image_loader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdio>
#include <exception>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::printf("%-44s %9s %9s %9s  %s\n", "file", "wall ms", "cpu ms", "peak MB", "outcome");
    for (int i = 1; i < argc; ++i) {
        std::fflush(stdout);
        QElapsedTimer timer;
        timer.start();
        const pid_t child = fork();
        if (child == 0) {
            int code = 0;
            try {
                const Plover::TargetImage record =
                    Plover::ImageLoader().loadTargetImage(QFile::decodeName(argv[i]));
                std::fprintf(stderr, "loaded %d x %d\n", record.pixelWidth, record.pixelHeight);
            } catch (const std::exception& failure) {
                std::fprintf(stderr, "refused: %s\n", failure.what());
                code = 1;
            }
            _exit(code);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        const char* outcome = !WIFEXITED(status) ? "died" : WEXITSTATUS(status) == 0 ? "loaded" : "refused";
        const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                             (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
        std::printf("%-44s %9lld %9.0f %9.1f  %s\n",
                    QFile::decodeName(argv[i]).section(QLatin1Char('/'), -1).toUtf8().constData(),
                    static_cast<long long>(timer.elapsed()), cpuMs, double(usage.ru_maxrss) / 1024.0,
                    outcome);
    }
    return 0;
}
