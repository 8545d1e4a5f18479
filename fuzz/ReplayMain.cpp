// The fuzz targets outside the fuzzer: runs LLVMFuzzerTestOneInput once on
// every file of the directories (and on the files) named on the command
// line, in name order, so that every input the corpus holds is checked by
// the ordinary build and its sanitizer build. A failing input aborts.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool runFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s: %s\n", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::fprintf(stderr, "running %s (%lld bytes)\n", qPrintable(path), static_cast<long long>(bytes.size()));
    std::fflush(stderr);
    // A buffer of exactly the file's size, as the fuzzer hands over.
    const auto copy = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(bytes.size()));
    std::memcpy(copy.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    LLVMFuzzerTestOneInput(copy.get(), static_cast<std::size_t>(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR_OR_FILE...\n", argv[0]);
        return 2;
    }
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        const QFileInfo info(path);
        QStringList files;
        if (info.isDir()) {
            const QDir dir(path);
            for (const QString& name : dir.entryList(QDir::Files, QDir::Name))
                files << dir.filePath(name);
            if (files.isEmpty()) {
                std::fprintf(stderr, "%s holds no input\n", qPrintable(path));
                return 1;
            }
        } else {
            files << path;
        }
        for (const QString& file : files) {
            if (!runFile(file))
                return 1;
            ++inputs;
        }
    }
    std::fprintf(stderr, "%d inputs ran\n", inputs);
    return 0;
}
