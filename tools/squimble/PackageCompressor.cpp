#include "PackageCompressor.h"

#include <cstdlib>
#include <cstring>

#include <zip.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FilePlacement.h"
#include "ImageReducer.h"

namespace
{
const char* const kContentTypes = "[Content_Types].xml";

QString zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

QString archiveErrorText(zip_t* archive)
{
    return QString::fromUtf8(zip_error_strerror(zip_get_error(archive)));
}

// Reads up to `limit` bytes of an entry (all of it for limit < 0). Returns false on a read error,
// such as a CRC mismatch in a damaged package.
bool readEntry(zip_t* archive, zip_uint64_t index, qint64 limit, QByteArray* data, QString* error)
{
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (!file) {
        *error = archiveErrorText(archive);
        return false;
    }
    data->clear();
    char chunk[65536];
    for (;;) {
        qint64 want = qint64(sizeof(chunk));
        if (limit >= 0)
            want = qMin(want, limit - data->size());
        if (want <= 0)
            break;
        const zip_int64_t got = zip_fread(file, chunk, zip_uint64_t(want));
        if (got < 0) {
            *error = QString::fromUtf8(zip_error_strerror(zip_file_get_error(file)));
            zip_fclose(file);
            return false;
        }
        if (got == 0)
            break;
        data->append(chunk, int(got));
    }
    zip_fclose(file);
    return true;
}
} // namespace

PackageCompressor::PackageCompressor(const CompressionProfile& profile, std::function<void(int)> progress)
    : m_profile(profile)
    , m_progress(std::move(progress))
    , m_lastPercent(-1)
{
}

void PackageCompressor::report(int percent)
{
    percent = qBound(0, percent, 99);
    if (percent == m_lastPercent)
        return;
    m_lastPercent = percent;
    if (m_progress)
        m_progress(percent);
}

void PackageCompressor::onWriteProgress(zip_t*, double done, void* self)
{
    // Writing (deflating every entry) is the second half of the work.
    static_cast<PackageCompressor*>(self)->report(50 + int(done * 49.0));
}

bool PackageCompressor::run(const QString& inputPath, const QString& outputPath, QString* reason)
{
    // Written in the system's temporary folder (the document engine points it at a folder of the
    // job's own), libzip's own temporary file included, and moved to outputPath only when complete:
    // a run that is killed leaves nothing beside the output.
    if (!QFileInfo(outputPath).absoluteDir().exists()) {
        *reason = QString("Not written: %1 (the folder does not exist)").arg(outputPath);
        return false;
    }
    QTemporaryDir staging;
    if (!staging.isValid()) {
        *reason = QString("Not written: %1 (no temporary folder)").arg(outputPath);
        return false;
    }
    const QString staged = staging.filePath("package");
    if (!writePackage(inputPath, staged, outputPath, reason))
        return false;
    if (!moveInto(staged, outputPath)) {
        *reason = QString("Not written: cannot move the result to %1").arg(outputPath);
        return false;
    }
    report(99);
    return true;
}

bool PackageCompressor::moveInto(const QString& staged, const QString& outputPath)
{
    // Replaces an older file in one step, so a failed move leaves it as it was. On another file system
    // the result is copied beside the target under "<output>.<pid>.tmp", then renamed.
    return FilePlacement::move(staged, outputPath);
}

bool PackageCompressor::writePackage(const QString& inputPath, const QString& stagedPath,
                                     const QString& outputPath, QString* reason)
{
    report(0);
    const QByteArray input = QFile::encodeName(inputPath);
    const QByteArray output = QFile::encodeName(stagedPath);

    int code = 0;
    zip_t* source = zip_open(input.constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!source) {
        *reason = QString("Not a package: %1 (%2)").arg(inputPath, zipErrorText(code));
        return false;
    }
    if (zip_name_locate(source, kContentTypes, 0) < 0) {
        *reason = QString("Not a document package: %1 has no %2").arg(inputPath, kContentTypes);
        zip_discard(source);
        return false;
    }

    zip_t* target = zip_open(output.constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!target) {
        *reason = QString("Not written: %1 (%2)").arg(outputPath, zipErrorText(code));
        zip_discard(source);
        return false;
    }

    if (!copyEntries(source, target, inputPath, reason)) {
        zip_discard(target);
        zip_discard(source);
        return false;
    }

    // The entries taken over from the input are read while the output is written, so the input
    // stays open until then. libzip writes into a temporary file and renames it at the end.
    zip_register_progress_callback_with_state(target, 0.01, &PackageCompressor::onWriteProgress, nullptr,
                                              this);
    const qint64 entries = zip_get_num_entries(target, 0);
    if (zip_close(target) != 0) {
        *reason = QString("Not written: %1 (%2)").arg(outputPath, archiveErrorText(target));
        zip_discard(target);
        zip_discard(source);
        QFile::remove(stagedPath);
        return false;
    }
    zip_discard(source);

    if (!verifyOutput(stagedPath, outputPath, entries, reason)) {
        QFile::remove(stagedPath);
        return false;
    }

    // Never hand back more than was given.
    if (QFileInfo(stagedPath).size() > QFileInfo(inputPath).size()) {
        if (!FilePlacement::copy(inputPath, stagedPath)) {
            QFile::remove(stagedPath);
            *reason = QString("Not written: cannot copy %1 to %2").arg(inputPath, outputPath);
            return false;
        }
    }
    return true;
}

bool PackageCompressor::copyEntries(zip_t* source, zip_t* target, const QString& inputPath, QString* reason)
{
    const ImageReducer reducer(m_profile);
    const zip_int64_t count = zip_get_num_entries(source, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const zip_uint64_t index = zip_uint64_t(i);
        zip_stat_t stat;
        if (zip_stat_index(source, index, 0, &stat) != 0) {
            *reason = QString("Not compressed: %1 entry %2 (%3)")
                          .arg(inputPath)
                          .arg(i)
                          .arg(archiveErrorText(source));
            return false;
        }
        const char* rawName = zip_get_name(source, index, ZIP_FL_ENC_RAW);
        const QString name = QString::fromUtf8(rawName);
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE) {
            *reason = QString("Not compressed: %1 holds the encrypted part %2").arg(inputPath, name);
            return false;
        }

        zip_int64_t added = -1;
        const size_t nameLength = std::strlen(rawName);
        if (nameLength > 0 && rawName[nameLength - 1] == '/') {
            added = zip_dir_add(target, rawName, ZIP_FL_ENC_GUESS);
        } else {
            QByteArray head;
            QString readError;
            if (!readEntry(source, index, 8, &head, &readError)) {
                *reason =
                    QString("Not compressed: %1 part %2 is damaged (%3)").arg(inputPath, name, readError);
                return false;
            }
            zip_source_t* data = nullptr;
            if (ImageReducer::kindOf(head) != ImageReducer::Kind::Other) {
                QByteArray picture;
                if (!readEntry(source, index, -1, &picture, &readError)) {
                    *reason =
                        QString("Not compressed: %1 part %2 is damaged (%3)").arg(inputPath, name, readError);
                    return false;
                }
                const QByteArray reduced = reducer.reduce(picture);
                if (!reduced.isEmpty()) {
                    // libzip frees the copy once the output is written.
                    void* copy = std::malloc(size_t(reduced.size()));
                    if (copy) {
                        std::memcpy(copy, reduced.constData(), size_t(reduced.size()));
                        data = zip_source_buffer(target, copy, zip_uint64_t(reduced.size()), 1);
                        if (!data)
                            std::free(copy);
                    }
                }
            }
            if (!data)
                data = zip_source_zip(target, source, index, 0, 0, -1);
            if (!data) {
                *reason =
                    QString("Not compressed: %1 part %2 (%3)").arg(inputPath, name, archiveErrorText(target));
                return false;
            }
            added = zip_file_add(target, rawName, data, ZIP_FL_ENC_GUESS);
            if (added < 0)
                zip_source_free(data);
        }
        if (added < 0) {
            *reason =
                QString("Not compressed: %1 part %2 (%3)").arg(inputPath, name, archiveErrorText(target));
            return false;
        }
        zip_set_file_compression(target, zip_uint64_t(added), ZIP_CM_DEFLATE, 9);
        if (stat.valid & ZIP_STAT_MTIME)
            zip_file_set_mtime(target, zip_uint64_t(added), stat.mtime, 0);
        report(int((i + 1) * 50 / qMax<zip_int64_t>(count, 1)));
    }
    return true;
}

bool PackageCompressor::verifyOutput(const QString& stagedPath, const QString& outputPath,
                                     qint64 expectedEntries, QString* reason) const
{
    int code = 0;
    zip_t* written = zip_open(QFile::encodeName(stagedPath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code);
    if (!written) {
        *reason = QString("Not written: %1 does not open again (%2)").arg(outputPath, zipErrorText(code));
        return false;
    }
    const qint64 entries = zip_get_num_entries(written, 0);
    zip_discard(written);
    if (entries != expectedEntries) {
        *reason =
            QString("Not written: %1 holds %2 of %3 parts").arg(outputPath).arg(entries).arg(expectedEntries);
        return false;
    }
    return true;
}
