#include "JpegDecoder.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace dorvel::resources {

namespace {

    // libjpeg's default error handler ends the process; this one jumps back to the
    // decoder, and warnings (a truncated image) are counted instead of printed.
    struct ErrorManager
    {
        jpeg_error_mgr base;
        std::jmp_buf jump;
    };

    [[noreturn]] void onError(j_common_ptr info)
    {
        auto *manager = reinterpret_cast<ErrorManager *>(info->err);
        std::longjmp(manager->jump, 1);
    }

    void onMessage(j_common_ptr) { }

    // Kept out of decodeJpeg so no object with a destructor lives across setjmp.
    bool decodeInto(jpeg_decompress_struct &info, ErrorManager &errors, const std::uint8_t *data,
        std::size_t size, QImage &image)
    {
        if (setjmp(errors.jump) != 0)
            return false;
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
        if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
            return false;
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        if (info.output_width == 0 || info.output_height == 0 || info.output_width > 16384
            || info.output_height > 16384 || info.output_components != 3)
            return false;
        image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height),
            QImage::Format_RGB888);
        if (image.isNull())
            return false;
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = image.scanLine(static_cast<int>(info.output_scanline));
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        return info.err->num_warnings == 0;
    }

} // namespace

QImage decodeJpeg(const std::uint8_t *data, std::size_t size)
{
    if (data == nullptr || size == 0)
        return {};
    jpeg_decompress_struct info {};
    ErrorManager errors {};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    QImage image;
    const bool ok = decodeInto(info, errors, data, size, image);
    jpeg_destroy_decompress(&info);
    if (!ok)
        return {};
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace dorvel::resources
