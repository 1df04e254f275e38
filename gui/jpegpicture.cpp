#include "jpegpicture.h"

#include <QFile>
#include <QFileInfo>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

// A scan count no real picture comes near; a progressive file with more
// would only take time.
constexpr int MaxScans = 1000;
constexpr long MaxDecoderMemory = 128L * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

// The library's own handler ends the process: this one returns to the
// decoder's set-up point instead.
[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings (truncated or corrupt data) end the decoding as errors do;
// trace messages are dropped.
void EmitMessage(j_common_ptr cinfo, int level) {
    if (level < 0) ErrorExit(cinfo);
}

void OutputMessage(j_common_ptr) {}

void Progress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans)
        ErrorExit(cinfo);
}

// The library's error manager, ending in a jump back to err->jump.
jpeg_error_mgr* JumpingErrors(ErrorManager* err) {
    jpeg_std_error(&err->pub);
    err->pub.error_exit = ErrorExit;
    err->pub.emit_message = EmitMessage;
    err->pub.output_message = OutputMessage;
    return &err->pub;
}

// Every automatic object of this frame is trivially destructible, so the
// error exit may jump back into it; the image lives in the caller's frame.
bool Decode(const unsigned char* data, unsigned long size, QImage* image) {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    jpeg_progress_mgr progress;
    cinfo.err = JumpingErrors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = MaxDecoderMemory;
    progress.progress_monitor = Progress;
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, size);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK || cinfo.image_width == 0 || cinfo.image_height == 0 ||
        cinfo.image_width > static_cast<JDIMENSION>(MaxJpegSide) ||
        cinfo.image_height > static_cast<JDIMENSION>(MaxJpegSide)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    cinfo.out_color_space = JCS_RGB;
    cinfo.scale_num = 1;
    cinfo.scale_denom = 1;
    const JDIMENSION shown = JpegShownSide;
    while (cinfo.scale_denom < 8 &&
           (cinfo.image_width / cinfo.scale_denom > shown || cinfo.image_height / cinfo.scale_denom > shown))
        cinfo.scale_denom *= 2;
    jpeg_start_decompress(&cinfo);
    if (cinfo.output_components != 3) ErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    *image = QImage(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                    QImage::Format_RGB888);
    if (image->isNull()) ErrorExit(reinterpret_cast<j_common_ptr>(&cinfo));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = image->scanLine(static_cast<int>(cinfo.output_scanline));
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// As Decode: only trivially destructible objects in this frame. *out is
// the library's buffer, for the caller to free.
bool Encode(const QImage* rgb, int quality, unsigned char** out, unsigned long* size) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = JumpingErrors(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, size);
    cinfo.image_width = static_cast<JDIMENSION>(rgb->width());
    cinfo.image_height = static_cast<JDIMENSION>(rgb->height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(rgb->constScanLine(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

QImage DecodeJpeg(const QByteArray& data) {
    QImage image;
    if (data.isEmpty() ||
        !Decode(reinterpret_cast<const unsigned char*>(data.constData()), static_cast<unsigned long>(data.size()),
                &image))
        return QImage();
    return image;
}

QImage ReadJpegFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxJpegFileBytes) return QImage();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QImage();
    return DecodeJpeg(file.read(MaxJpegFileBytes));
}

QByteArray EncodeJpeg(const QImage& image, int quality) {
    if (image.isNull()) return QByteArray();
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool done = Encode(&rgb, quality, &buffer, &size);
    QByteArray bytes = done ? QByteArray(reinterpret_cast<const char*>(buffer), static_cast<qsizetype>(size))
                            : QByteArray();
    std::free(buffer);
    return bytes;
}
