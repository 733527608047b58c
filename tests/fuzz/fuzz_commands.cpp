// Arbitrary bytes as a batch file and as a setup file: no crash, no
// unbounded read, argument readings within their promises; and any text
// without a double quote written as a setup value reads back as itself.
#include "app/linetokens.h"
#include "control/batch.h"
#include "control/setupfile.h"
#include "tests/fuzz/fuzztempfile.h"

#include <cmath>
#include <cstdint>

namespace {
void exercise(const BatchCmd& c)
{
    for (int i = -1; i <= int(c.args.size()); ++i) {
        if (!std::isfinite(c.realArg(i)))
            __builtin_trap();
        if (c.flagArg(i) && c.intArg(i) != 1)
            __builtin_trap();
        c.textArg(i);
    }
    if (!c.args.isEmpty() && (c.dirArg() != c.args.first() || c.patternArgs().size() != c.args.size() - 1))
        __builtin_trap();
}

void roundTrip(const QString& text)
{
    if (text.contains(QLatin1Char('"')) || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')))
        return;
    const QString line = setupLine(QStringLiteral("auto_save_data_tag"), {setupQuotedText(text)});
    if (BatchCmd::parse(line).textArg() != text)
        __builtin_trap();
    // A batch file removes comments first; single quotes also count as
    // quotes there, so only texts without one keep a '#'.
    if (!text.contains(QLatin1Char('\'')) && BatchCmd::parse(removeComment(line)).textArg() != BatchCmd::parse(line).textArg())
        __builtin_trap();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzQuiet();
    const QString path = fuzzInputFile("commands", data, size);
    if (path.isEmpty())
        return 0;
    Batch batch;
    batch.batchLoad(path);
    for (const QString& line : batch.loadedLines())
        exercise(BatchCmd::parse(line));
    for (const BatchCmd& c : readSetupFile(path))
        exercise(c);
    roundTrip(QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(std::min<std::size_t>(size, 256))));
    return 0;
}

void fenu2FuzzSeeds(QList<QByteArray>* seeds)
{
    QFile demo(QStringLiteral(FENU2_SOURCE_DIR "/resources/demo.bat"));
    if (demo.open(QIODevice::ReadOnly))
        *seeds << demo.readAll();
    *seeds << QByteArray(":start\nct_cor 255.5 # centre\nimages_load \"dir with blank\" *.img *.his \\\n  more\n"
                         ":ifok :goto start\n:echo done\nct_set_disp_region 1 2 3 4\nct_recorded_cor_1 10 1e308\n")
           << QByteArray("## Original Images\nimages_new_on_load        1\ni0_load                   \"/a b/flat.img\"\n"
                         "fix_color_min             -1.5e-3\nct_threads 99999999999\n#images_load /x *.img\n");
}
