#pragma once
// The view behaviour every grid and tree the user types into shares, so that text typed right after a click
// lands whole in the cell clicked. Qt opens the editor of a click on the selected cell only once the
// double-click interval has passed; keys typed meanwhile went to a keyboard search, which can move the
// selection, and were lost to the editor opening late. Here such a click opens the editor at once, and a key
// goes to the cell being edited or, where the view's triggers let typing start an edit, opens the current
// cell's editor with it; never to a search.
#include <QAbstractItemView>
#include <QModelIndex>
#include <QString>

namespace gui {

template <class View>
class TypingView : public View {
 public:
  using View::View;

  void keyboardSearch(const QString&) override {}

 protected:
  using View::edit;
  bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger, QEvent* event) override {
    if (trigger != QAbstractItemView::SelectedClicked || !(this->editTriggers() & QAbstractItemView::SelectedClicked))
      return View::edit(index, trigger, event);
    // As edit(index) does: now, with no wait for a double click.
    return View::edit(index, QAbstractItemView::AllEditTriggers, event);
  }
};

}  // namespace gui
