// Shared by the JPEG tests: pictures encoded on the spot with libjpeg's
// compressor, a full default decode as the reference, and the row/column
// choice written out independently of the decoder.
#pragma once
#include <string>
#include <vector>

enum class JpegKind { Rgb, Gray, Cmyk };

struct JpegRecipe {
    unsigned width = 64;
    unsigned height = 48;
    JpegKind kind = JpegKind::Rgb;
    int hSamp = 2; // luma sampling factors; chroma stays 1x1
    int vSamp = 2;
    bool progressive = false;
    bool arithmetic = false;
    int restartRows = 0;
    int quality = 90;
    unsigned seed = 1;
    bool flat = false; // one colour, flatRgb (RGB pictures only)
    unsigned char flatRgb[3] = {0, 0, 0};
};

// A readable name such as "rgb-h2v2-prog-64x48".
std::string DescribeRecipe(const JpegRecipe& recipe);
// Encodes a busy picture (gradients, edges and noise, so that every row and
// column differs); empty on failure. Rows come from a generator, so even
// 100-megapixel pictures need no full-size input buffer.
std::string EncodeJpeg(const JpegRecipe& recipe);

// The same file with the frame header's height and width replaced; the
// entropy-coded data stays, so a larger size leaves it short.
std::string WithDimensions(std::string jpeg, unsigned width, unsigned height);
// A greyscale progressive file with `scans` scans (1 DC scan, then AC
// scans); up to 190.
std::string ManyScanJpeg(unsigned width, unsigned height, int scans);

// Every row of a full decode with default parameters.
struct DecodedJpeg {
    unsigned width = 0, height = 0;
    int components = 0;
    std::vector<unsigned char> samples; // rows top-down, width * components each
};
// False when the library stops on a fatal error.
bool DecodeFully(const std::string& bytes, DecodedJpeg* decoded);

// What the thumbnail decode must give for `reference` fitted into the box:
// the fitted size and 3-byte pixels, white for other than 1 or 3 components.
struct ExpectedPicture {
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgb;
};
ExpectedPicture ExpectedSelection(const DecodedJpeg& reference, unsigned boxWidth, unsigned boxHeight);

// The folder of build/deps/fixtures (Wine path, trailing backslash), found
// beside VSL_TESTIMAGES; "" when unknown.
std::wstring FixtureFolder();
std::wstring TestImagesFolder();
