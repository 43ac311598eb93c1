// The controls of the windows as small values: what a control shows and whether it can be used.
// The Qt view binds widgets to these; the engine and the tests read and set them directly.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

namespace vantrel {

struct Control {
  bool Enabled = true;
  bool Visible = true;
};

struct Button : Control {};

struct CheckBox : Control {
  bool Checked = false;
};

struct Edit : Control {
  std::string Text;
};

struct SpinEdit : Control {
  int Value = 0;
  int MinValue = 0;
  int MaxValue = 0;
};

struct Memo : Control {
  std::vector<std::string> Lines;
};

struct ListBox : Control {
  std::vector<std::string> Items;
  bool Sorted = false;
  int ItemIndex = -1;
};

// A hidden list box that is only ever searched: items with a counted index for fast look-up.
struct LookupListBox : Control {
  std::vector<std::string> Items;
  void Clear() {
    Items.clear();
    index_.clear();
  }
  void Add(const std::string& item) {
    Items.push_back(item);
    ++index_[item];
  }
  bool Contains(const std::string& item) const { return index_.count(item) > 0; }

 private:
  std::unordered_map<std::string, int> index_;
};

struct LedDisplay : Control {
  double Value = 0;
};

struct RadioGroup : Control {
  int ItemIndex = 0;
};

struct Label : Control {
  std::string Caption;
};

struct Panel : Control {};

}  // namespace vantrel
