#pragma once
// The original's radio group: a captioned box of radio buttons filled column by column, whose button ids
// are the item indexes.
#include <string>
#include <vector>

class QButtonGroup;
class QGroupBox;

namespace gui {

// Fills `box` with one radio button per item, `columns` wide, and checks item `checked` (none when -1).
QButtonGroup* FillRadioGroup(QGroupBox* box, const std::vector<std::string>& items, int columns, int checked = 0);

}  // namespace gui
