// The plain install copy of a 100 MB plug-in in 5000 files, against cp -R of the same tree.

#include "Platform/Files/FileManager.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

extern char** environ;

namespace {

constexpr int kFiles = 5000;
constexpr qint64 kTotalBytes = 100 * 1000 * 1000;
constexpr int kFilesPerFolder = 100;

struct PluginTree {
    QTemporaryDir temp;
    QString source;
    QString destination;

    PluginTree()
    {
        source = temp.filePath(QStringLiteral("Foldwise.acroplugin"));
        destination = temp.filePath(QStringLiteral("Plug-Ins/Foldwise.acroplugin"));
        QDir().mkpath(temp.filePath(QStringLiteral("Plug-Ins")));
        QByteArray content(int(kTotalBytes / kFiles), '\0');
        for (qsizetype i = 0; i < content.size(); ++i)
            content[i] = char((i * 2654435761u) >> 13);
        for (int i = 0; i < kFiles; ++i) {
            const QString folder = source + QStringLiteral("/Contents/Resources/Part %1").arg(i / kFilesPerFolder);
            QDir().mkpath(folder);
            QFile file(folder + QStringLiteral("/File %1.dat").arg(i));
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
                std::abort();
        }
    }

    void clearDestination() const
    {
        std::error_code ignored;
        std::filesystem::remove_all(QFile::encodeName(destination).toStdString(), ignored);
    }
};

PluginTree& tree()
{
    static PluginTree instance;
    return instance;
}

void BM_InstallCopy(benchmark::State& state)
{
    const PluginTree& plugin = tree();
    Platform::LocalFileManager fileManager;
    for (auto _ : state) {
        state.PauseTiming();
        plugin.clearDestination();
        state.ResumeTiming();
        if (!fileManager.copyItem(plugin.source, plugin.destination))
            state.SkipWithError("the copy failed");
    }
    plugin.clearDestination();
    state.SetBytesProcessed(state.iterations() * kTotalBytes);
}

void BM_CpR(benchmark::State& state)
{
    const PluginTree& plugin = tree();
    const std::string source = QFile::encodeName(plugin.source).toStdString();
    const std::string destination = QFile::encodeName(plugin.destination).toStdString();
    for (auto _ : state) {
        state.PauseTiming();
        plugin.clearDestination();
        state.ResumeTiming();
        char* argv[] = {const_cast<char*>("cp"), const_cast<char*>("-R"), const_cast<char*>(source.c_str()),
                        const_cast<char*>(destination.c_str()), nullptr};
        pid_t child = 0;
        int status = 0;
        if (::posix_spawnp(&child, "cp", nullptr, nullptr, argv, environ) != 0 || ::waitpid(child, &status, 0) != child
            || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("cp -R failed");
    }
    plugin.clearDestination();
    state.SetBytesProcessed(state.iterations() * kTotalBytes);
}

}  // namespace

BENCHMARK(BM_InstallCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_CpR)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
