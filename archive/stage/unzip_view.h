#pragma once
// What the extraction stage shows: the window's status line and two progress bars, and
// the setup picture on the main screen. The console tool and the Qt window implement it.

#include <string>

namespace nolvo::stage {

// The setup picture to put on the main screen.
struct SetupPicture {
  std::string windowsPath;  // TempDir\<Bitmap File>
  bool animated = false;    // "GIF" anywhere in the name: played in a loop
  bool alignCenter = false;
  bool alignLeft = true;
};

class UnzipView {
 public:
  virtual ~UnzipView() = default;
  virtual void SetStatus(const std::string& text) = 0;  // Label2
  virtual void SetFileProgress(int percent) = 0;        // ProgressBar1, 0..100
  virtual void SetCountRange(int max) = 0;              // ProgressBar2 range 0..max
  virtual void SetCountPosition(int position) = 0;      // ProgressBar2 position
  // Loads and places the setup picture (left edge from PictureFrameLeft); throws when the
  // picture cannot be loaded.
  virtual void ShowPicture(const SetupPicture& picture) = 0;
  // The window closes (end of its modal run).
  virtual void Close() = 0;
};

// The left edge of the picture frame on the main screen: centred when alignCenter, 20
// from the left when alignLeft, otherwise 20 from the right. Divisions round toward zero.
int PictureFrameLeft(int gradientWidth, int panelWidth, bool alignCenter, bool alignLeft);

// Whether a still picture of this name can be loaded: its extension is bmp, ico, wmf or
// emf (case ignored).
bool StillPictureLoadable(const std::string& name);

}  // namespace nolvo::stage
