// The rules a folder of page pictures must meet for the installer's pages and the uninstaller's,
// ours or a vendor's: the GIF form the pages decode, the window outlines, a button under every
// hotspot and one plain colour under every label the pages write at run time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace assetgen {

struct PictureProblem {
  std::string file;    ///< the picture's file name, e.g. "welcome.gif"
  std::string rule;    ///< one of the rule names below
  std::string detail;  ///< what is wrong, with the first place or entry found
};

namespace rule {
inline constexpr char kMissing[] = "missing";            ///< no such file (of the required ones)
inline constexpr char kFormat[] = "format";              ///< not a GIF89a that giflib decodes
inline constexpr char kSize[] = "size";                  ///< logical screen not 819 x 704
inline constexpr char kPalette[] = "palette";            ///< no 256-entry global table, or the key colour in it
inline constexpr char kImage[] = "image";                ///< not one interlaced image over the whole screen
inline constexpr char kTransparency[] = "transparency";  ///< not one graphic control extension keying index 255
inline constexpr char kOutline[] = "outline";            ///< see-through pixels not the window's shape
inline constexpr char kHotspot[] = "hotspot";            ///< a hotspot not on a button
inline constexpr char kLabelArea[] = "label-area";       ///< an area under a run-time label not plain
}  // namespace rule

/// The pictures a folder must hold: the installer's pages.
inline constexpr const char* kPictureFiles[] = {"welcome.gif", "install.gif", "finish6.gif",
                                                "finish5.gif", "exit.gif",    "chooser.gif"};
/// The uninstaller's pages: a folder may leave them out (the build then draws them with the
/// product's title), and those it holds meet every rule.
inline constexpr const char* kOptionalPictureFiles[] = {"remove1.gif", "remove2.gif", "remove3.gif"};
/// The pictures of one window shape: the install page shows the finish pictures in its place,
/// and the uninstaller's window is the exit page's.
inline constexpr const char* kSharedOutlineFiles[] = {"welcome.gif", "install.gif", "finish6.gif", "finish5.gif",
                                                      "exit.gif",    "remove1.gif", "remove2.gif", "remove3.gif"};

struct PictureRect {
  int left, top, width, height;
};

/// A hotspot of a page's control table, in the page's client coordinates.
struct Hotspot {
  const char* picture;
  const char* name;
  PictureRect client;
  int pictureOffset;  ///< x of the picture in the page's client area
};

// The 824-pixel welcome and exit pages and the uninstaller's window draw the picture 2 pixels in.
inline constexpr Hotspot kHotspots[] = {
    {"welcome.gif", "Form1.Next", {474, 533, 83, 35}, 2},
    {"install.gif", "Form3.cancel", {361, 537, 83, 29}, 0},
    {"install.gif", "Form3.Next", {466, 536, 82, 29}, 0},
    {"install.gif", "Form3.change", {305, 381, 128, 26}, 0},
    {"finish6.gif", "Form3.OkExit", {220, 595, 84, 30}, 0},
    {"finish5.gif", "Form3.OkExit", {220, 595, 84, 30}, 0},
    {"exit.gif", "Form5.Ok", {467, 393, 86, 27}, 2},
    {"exit.gif", "Form5.Label1", {363, 393, 85, 25}, 2},
    {"chooser.gif", "Form4.ok", {415, 584, 85, 27}, 0},
    {"chooser.gif", "Form4.cancel", {311, 585, 82, 25}, 0},
    {"remove1.gif", "Remove.Yes", {467, 423, 86, 27}, 2},
    {"remove1.gif", "Remove.No", {363, 423, 86, 27}, 2},
    {"remove3.gif", "Remove.Close", {370, 590, 86, 27}, 2},
};

/// Where a page writes text (or shows its gauge) at run time, in picture coordinates (on the
/// uninstaller's window, the client's x less 2); white where the page shows a white box, else
/// the page's background.
struct LabelArea {
  const char* picture;
  const char* name;
  PictureRect rect;
  bool white;
};

inline constexpr LabelArea kLabelAreas[] = {
    {"install.gif", "path", {295, 333, 306, 28}, true},
    {"install.gif", "Group", {296, 449, 304, 29}, true},
    {"install.gif", "wait", {310, 481, 267, 20}, false},
    {"install.gif", "Gauge1", {293, 496, 309, 14}, false},
    {"install.gif", "FileNameLabel", {284, 513, 331, 20}, false},
    {"chooser.gif", "Label2", {243, 255, 311, 19}, true},
    {"chooser.gif", "figure rows", {261, 539, 286, 31}, true},
    {"remove2.gif", "Remove.gauge", {298, 392, 309, 14}, false},
    {"remove2.gif", "Remove.fileName", {248, 412, 410, 20}, false},
    {"remove3.gif", "Remove.heading", {238, 284, 430, 24}, false},
    {"remove3.gif", "Remove.kept folders", {238, 316, 430, 252}, true},
};

/// A GIF as its records say, read without trusting them.
struct GifPicture {
  struct Colour {
    uint8_t r, g, b;
  };
  struct Image {
    int left, top, width, height;
    bool interlaced, localTable;
  };
  struct Extension {
    int function;
    std::vector<std::vector<uint8_t>> blocks;  ///< its data sub-blocks
    size_t beforeImage;                        ///< the image it precedes; images.size() when after all
  };
  std::string signature;  ///< "GIF89a" or "GIF87a"
  int screenWidth = 0, screenHeight = 0;
  std::vector<Colour> palette;  ///< the global table; empty without one
  std::vector<Image> images;
  std::vector<Extension> extensions;
  /// The first image's indices row by row (de-interlaced), when it is 819 x 704; else empty.
  std::vector<uint8_t> pixels;
};

/// Reads a GIF file; nullopt with the reason in *error when it is none giflib can decode.
std::optional<GifPicture> ReadGif(const std::string& path, std::string* error);

// One rule on one picture each: "" when met, else what is wrong. The pixel rules need pixels.
std::string CheckFormat(const GifPicture& picture);
std::string CheckSize(const GifPicture& picture);
std::string CheckPalette(const GifPicture& picture);
std::string CheckImage(const GifPicture& picture);
std::string CheckTransparency(const GifPicture& picture);
/// The shared outline's exact see-through count and opaque bounds.
std::string CheckSharedOutline(const GifPicture& picture);
/// Pixels see-through in one picture and not in the other (referenceName names the other).
std::string CompareOutlines(const GifPicture& picture, const GifPicture& reference, const std::string& referenceName);
/// The chooser's own outline: its bounds, its panel opaque, not the shared outline.
std::string CheckChooserOutline(const GifPicture& picture);
std::string CheckHotspot(const GifPicture& picture, const Hotspot& hotspot);
std::string CheckLabelArea(const GifPicture& picture, const LabelArea& area);

/// Every rule on the six required pictures of dir and on the optional ones it holds: at most one
/// problem per picture and rule, by picture in the order of kPictureFiles then
/// kOptionalPictureFiles, and by rule in the order above. The pixel rules are not applied to a
/// picture without an 819 x 704 image, whose size or image rule says so.
std::vector<PictureProblem> CheckPictures(const std::string& dir);

}  // namespace assetgen
