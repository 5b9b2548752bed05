#include "jpeg_samples_test.h"

#include <windows.h>
#include <stdio.h>
#include <string.h>

#include <jpeglib.h>

#include "plugin/jpeg_guard.h"
#include "support/scratch.h"

std::string DescribeRecipe(const JpegRecipe& r)
{
    char text[160];
    const char* kind = r.kind == JpegKind::Gray ? "gray" : r.kind == JpegKind::Cmyk ? "cmyk" : "rgb";
    snprintf(text, sizeof text, "%s-h%dv%d%s%s%s-%ux%u-q%d", kind, r.hSamp, r.vSamp,
             r.progressive ? "-prog" : "", r.arithmetic ? "-arith" : "",
             r.restartRows ? "-restart" : "", r.width, r.height, r.quality);
    return text;
}

static void fillRow(const JpegRecipe& r, unsigned y, int components, unsigned char* row)
{
    if (r.flat) {
        for (unsigned x = 0; x < r.width * components; x++) row[x] = r.flatRgb[x % 3];
        return;
    }
    unsigned state = r.seed * 2654435761u + y * 40503u;
    for (unsigned x = 0; x < r.width; x++) {
        state = state * 1103515245u + 12345u;
        unsigned noise = (state >> 16) & 31;
        for (int c = 0; c < components; c++) {
            unsigned v = x * (3 + c) + y * (5 - c) + ((x / 7 + y / 5) % 2) * 90 + noise;
            if ((x ^ y) % 23 == 0) v += 128; // sharp specks
            row[x * components + c] = (unsigned char)v;
        }
    }
}

// The one compressor run behind both generators; `script`, when given,
// replaces the default scans.
static std::string encodeWith(const JpegRecipe& r, const std::vector<jpeg_scan_info>* script)
{
    struct jpeg_compress_struct cinfo;
    JpegErrorManager errors;
    unsigned char* volatile output = NULL;
    unsigned long size = 0;
    std::string result;
    std::vector<unsigned char> row;
    int components = r.kind == JpegKind::Rgb ? 3 : r.kind == JpegKind::Gray ? 1 : 4;
    row.resize((size_t)r.width * components);

    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpegSilentErrors(&errors);
    if (__builtin_setjmp(errors.recovery)) {
        jpeg_destroy_compress(&cinfo);
        free(output);
        return std::string();
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, (unsigned char**)&output, &size);
    cinfo.image_width = r.width;
    cinfo.image_height = r.height;
    cinfo.input_components = components;
    cinfo.in_color_space = r.kind == JpegKind::Rgb ? JCS_RGB : r.kind == JpegKind::Gray ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, r.quality, TRUE);
    if (r.kind != JpegKind::Gray) {
        cinfo.comp_info[0].h_samp_factor = r.hSamp;
        cinfo.comp_info[0].v_samp_factor = r.vSamp;
        for (int c = 1; c < cinfo.num_components; c++) {
            cinfo.comp_info[c].h_samp_factor = 1;
            cinfo.comp_info[c].v_samp_factor = 1;
        }
    }
    if (r.progressive) jpeg_simple_progression(&cinfo);
    if (script) {
        cinfo.scan_info = script->data();
        cinfo.num_scans = (int)script->size();
    }
    cinfo.arith_code = r.arithmetic;
    cinfo.restart_in_rows = r.restartRows;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        fillRow(r, cinfo.next_scanline, components, row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    result.assign((const char*)output, size);
    jpeg_destroy_compress(&cinfo);
    free(output);
    return result;
}

std::string EncodeJpeg(const JpegRecipe& r)
{
    return encodeWith(r, NULL);
}

std::string WithDimensions(std::string jpeg, unsigned width, unsigned height)
{
    for (size_t i = 2; i + 9 < jpeg.size();) {
        unsigned char marker = (unsigned char)jpeg[i + 1];
        if ((unsigned char)jpeg[i] != 0xFF) break;
        size_t length = ((unsigned char)jpeg[i + 2] << 8) | (unsigned char)jpeg[i + 3];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            jpeg[i + 5] = (char)(height >> 8);
            jpeg[i + 6] = (char)height;
            jpeg[i + 7] = (char)(width >> 8);
            jpeg[i + 8] = (char)width;
            break;
        }
        i += 2 + length;
    }
    return jpeg;
}

std::string ManyScanJpeg(unsigned width, unsigned height, int scans)
{
    // Each AC coefficient alone, first at a coarse precision, then refined
    // bit by bit: a legal script of up to 1 + 3 * 63 scans.
    std::vector<jpeg_scan_info> script;
    jpeg_scan_info dc = {1, {0}, 0, 0, 0, 0};
    script.push_back(dc);
    for (int pass = 0; pass < 3; pass++) {
        for (int k = 1; k <= 63; k++) {
            jpeg_scan_info ac = {1, {0}, k, k, pass == 0 ? 0 : 3 - pass, 2 - pass};
            script.push_back(ac);
        }
    }
    if (scans < 1 || scans > (int)script.size()) return std::string();
    // A prefix of the script is legal too, as long as the first AC pass of
    // every coefficient comes before its refinements: true by construction.
    script.resize(scans);

    JpegRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.kind = JpegKind::Gray;
    recipe.quality = 75; // the library's default
    return encodeWith(recipe, &script);
}

bool DecodeFully(const std::string& bytes, DecodedJpeg* decoded)
{
    struct jpeg_decompress_struct cinfo;
    JpegErrorManager errors;
    memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpegSilentErrors(&errors);
    if (__builtin_setjmp(errors.recovery)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, (const unsigned char*)bytes.data(), (unsigned long)bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    decoded->width = cinfo.output_width;
    decoded->height = cinfo.output_height;
    decoded->components = cinfo.output_components;
    size_t stride = (size_t)cinfo.output_width * cinfo.output_components;
    decoded->samples.assign(stride * cinfo.output_height, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {decoded->samples.data() + stride * cinfo.output_scanline};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) break;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

// Position i of `count` evenly spread over `total`, in closed form: the
// decoder walks there with an accumulator instead.
static unsigned spread(unsigned i, unsigned total, unsigned count, bool centred)
{
    unsigned q = total / count, r = total % count;
    return (centred ? q / 2 : 0) + i * q + (unsigned)((unsigned long long)i * r / count);
}

ExpectedPicture ExpectedSelection(const DecodedJpeg& ref, unsigned boxWidth, unsigned boxHeight)
{
    ExpectedPicture out;
    unsigned w = ref.width, h = ref.height;
    if (w > boxWidth || h > boxHeight) {
        // The same rule in floating point: exact for these magnitudes.
        double byWidth = (double)boxWidth * ref.height / ref.width;
        if ((unsigned)byWidth <= boxHeight) {
            w = boxWidth;
            h = (unsigned)byWidth;
        } else {
            w = (unsigned)((double)boxHeight * ref.width / ref.height);
            h = boxHeight;
        }
    }
    out.width = w ? w : 1;
    out.height = h ? h : 1;
    out.rgb.assign((size_t)out.width * out.height * 3, 255);
    if (ref.components != 1 && ref.components != 3) return out;
    size_t stride = (size_t)ref.width * ref.components;
    for (unsigned y = 0; y < out.height; y++) {
        const unsigned char* row = ref.samples.data() + stride * spread(y, ref.height, out.height, true);
        for (unsigned x = 0; x < out.width; x++) {
            unsigned char* px = out.rgb.data() + ((size_t)y * out.width + x) * 3;
            if (ref.components == 3) {
                const unsigned char* s = row + (size_t)spread(x, ref.width, out.width, true) * 3;
                px[0] = s[0], px[1] = s[1], px[2] = s[2];
            } else {
                px[0] = px[1] = px[2] = row[spread(x, ref.width, out.width, false)];
            }
        }
    }
    return out;
}

static std::wstring folderBesideTestImages(const wchar_t* name)
{
    std::string narrow = Utf8(EnvWide(L"VSL_TESTIMAGES"));
    if (narrow.empty()) return L"";
    while (!narrow.empty() && narrow.back() == '/') narrow.pop_back();
    if (name) narrow = narrow.substr(0, narrow.find_last_of('/') + 1) + std::string(name, name + wcslen(name));
    std::wstring path = WinePathFromUnix(narrow);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path;
}

std::wstring FixtureFolder()
{
    return folderBesideTestImages(L"fixtures");
}

std::wstring TestImagesFolder()
{
    return folderBesideTestImages(NULL);
}
