// Records a reconstruction worker hands to the saver thread: where a result
// goes and the finished bytes or image. The receiver owns and deletes them.
#pragma once

#include "recon/bigbuffer.h"
#include "recon/ctimgdatafile.h"

#include <QByteArray>
#include <QImage>
#include <QMetaType>
#include <QString>

#include <memory>

struct SavingRecord {
    QString path;    // base directory
    QString name;    // optional file-name prefix
    QString tag;     // energy label in CT-XAFS runs; may be empty
    QString sliceNo; // "%05d"

    SavingRecord();
    SavingRecord(const SavingRecord& other);
    SavingRecord& operator=(const SavingRecord& other) = default;
    ~SavingRecord();

    // "name-tag-slice.ext", or "tag-slice.ext" when there is no name.
    // Nothing is escaped; an empty tag keeps its hyphen.
    QString fileName(const QString& ext) const;

    // Five digits, zero-padded; longer numbers are not cut.
    static QString sliceText(int sliceNo);
    // Records alive in this process (a record that is never deleted shows here).
    static int live();
};

// The complete bytes of a result file: a CT image data file ("dat") or the
// float TIFF of the same slice ("tif").
struct SavingData : SavingRecord {
    QByteArray data;
    // Where set, the bytes instead of data: a worker's page memory, refilled
    // for a later slice once this record is gone.
    std::shared_ptr<const PageBytes> pages;
    QString ext = QStringLiteral("dat");

    const char* bytes() const { return pages ? pages->data() : data.constData(); }
    std::size_t byteCount() const { return pages ? pages->size() : std::size_t(data.size()); }
    // Readable bytes from bytes(), at least byteCount().
    std::size_t room() const { return pages ? pages->capacity() : byteCount(); }
};

// A slice's result image as complete PNG bytes, encoded by the worker.
struct SavingImg : SavingRecord {
    QByteArray png;
};

Q_DECLARE_METATYPE(SavingData*)
Q_DECLARE_METATYPE(SavingImg*)

// Makes both record pointer types known to queued connections.
void registerSavingTypes();

// One worker's auto-save choice for one kind of result.
struct SaveSettings {
    bool enabled = false;
    QString path;
    QString name;
    QString tag;
    bool tiff = false; // data only: the float TIFF besides the data file
};

// Worker-side builders. Null when there is nothing to save: a region the
// data text refuses, or an image without data. The data text goes into page
// memory the saver writes without the page cache. A worker passes the same
// textBuffer for every slice: the record shares it, and once the saver has
// dropped the record it is filled again instead of fresh pages (while a
// record still holds it, a fresh one replaces it).
SavingData* makeSavingData(const SaveSettings& settings, int sliceNo, const MatrixView& result,
                           const DataRegion& region, const DataLimits& limits,
                           std::shared_ptr<PageBytes>* textBuffer = nullptr);
// True when no record shares buffer any more, so that it may be refilled.
bool pagesFree(const std::shared_ptr<PageBytes>& buffer);
// The float TIFF of the region (see tiffslice.h) in page memory, kept in
// *buffer like the text above (a fresh one each time without); null where
// it is empty.
SavingData* makeSavingTiff(const SaveSettings& settings, int sliceNo, const MatrixView& result, const DataRegion& region,
                           std::shared_ptr<PageBytes>* buffer = nullptr);
// The PNG is encoded here, on the caller's thread, at zlib level pngLevel
// (anything outside 0 .. 9: the default); null when the image is null or
// could not be encoded.
SavingImg* makeSavingImg(const SaveSettings& settings, int sliceNo, const QImage& image, int pngLevel = -1);
