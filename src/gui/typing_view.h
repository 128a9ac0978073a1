#pragma once
// The view behaviour every grid and tree the user types into shares, so that text typed right after a click
// lands whole in the cell clicked, and only there. Qt opens the editor of a click on the selected cell only
// once the double-click interval has passed; keys typed meanwhile went to a keyboard search, which can move
// the selection, and were lost to the editor opening late. Here such a click opens the editor at once, and a
// key goes to the cell being edited or, where the view's triggers let typing start an edit, opens the current
// cell's editor with it; never to a search.
//
// An open editor writes only into the cell it was opened on: whatever rewrites or moves the lines under it
// ends the edit first (EndEdit), on that cell. The view does so itself when its model announces a reset or a
// new layout; a window whose own rewrites the model cannot announce calls EndEdit before them. Return in an
// editor ends the edit and goes no further (not to a default button).
//
// Escape in an editor is the user's cancel: the edit ends and the cell gets back the text it had when the
// edit opened, also where the typing reached it (and the table behind it) keystroke by keystroke. What else
// the typing changed (the window's "changed" mark, a table the cell cannot give back alone) the window keeps
// through KeepForCancel.
#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QCoreApplication>
#include <QModelIndex>
#include <QMouseEvent>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <utility>

namespace gui {

template <class View>
class TypingView : public View {
 public:
  using View::View;

  void keyboardSearch(const QString&) override {}

  // Ends the open edit, if there is one, on the cell it was opened on, writing nothing more: what is typed
  // reached that cell keystroke by keystroke, and a value that goes only once confirmed (a controller
  // parameter) is not confirmed by the lines changing.
  void EndEdit() {
    if (QWidget* editor = OpenEditor()) this->closeEditor(editor, QAbstractItemDelegate::NoHint);
  }

  // Called as an edit of `cell` opens: keeps what the typing may change besides the cell and gives what puts
  // it back, which Escape calls once the cell has its text again.
  std::function<std::function<void()>(const QModelIndex& cell)> KeepForCancel;

 protected:
  using View::edit;
  bool edit(const QModelIndex& index, QAbstractItemView::EditTrigger trigger, QEvent* event) override {
    // Taken before the editor opens: the key that opens it may already write into the cell.
    if (this->state() != QAbstractItemView::EditingState && !OpenEditor() && (index.flags() & Qt::ItemIsEditable)) {
      openedText_ = index.data(Qt::EditRole);
      giveBack_ = KeepForCancel ? KeepForCancel(index) : nullptr;
      written_ = false;
    }
    if (trigger != QAbstractItemView::SelectedClicked || !(this->editTriggers() & QAbstractItemView::SelectedClicked))
      return Opened(index, View::edit(index, trigger, event));
    // As edit(index) does: now, with no wait for a double click.
    if (!Opened(index, View::edit(index, QAbstractItemView::AllEditTriggers, event))) return false;
    Forget();
    clickOpened_ = this->indexWidget(index);
    if (clickOpened_) clickOpened_->installEventFilter(this);
    return true;
  }

  void commitData(QWidget* editor) override {
    written_ = true;
    View::commitData(editor);
  }

  // The delegate's cancel (Escape) ends the edit without writing; what the typing wrote goes back.
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override {
    const bool open = editor && editor == OpenEditor();
    View::closeEditor(editor, hint);
    if (!open) return;
    const std::function<void()> giveBack = std::exchange(giveBack_, nullptr);
    if (hint != QAbstractItemDelegate::RevertModelCache) return;
    if (written_ && editing_.isValid()) this->model()->setData(editing_, openedText_, Qt::EditRole);
    if (giveBack) giveBack();
  }

  // The release that opened an editor leaves the view in no state, as if nothing were edited: Return would
  // then pass the editor by, to the window's default button.
  void mouseReleaseEvent(QMouseEvent* event) override {
    View::mouseReleaseEvent(event);
    if (OpenEditor() && this->state() != QAbstractItemView::EditingState)
      this->setState(QAbstractItemView::EditingState);
  }

  // A double click whose first click opened the editor is still the view's (Qt's DoubleClicked trigger, a
  // tree node opening): once it ends, the editor, still untyped, closes and the view gets the double click as
  // it would have with no editor over the cell.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!clickOpened_ || watched != clickOpened_) return View::eventFilter(watched, event);
    switch (event->type()) {
      case QEvent::MouseButtonDblClick:
        doubled_ = true;
        return true;
      case QEvent::MouseButtonRelease:
        if (doubled_) {
          HandBack(*static_cast<QMouseEvent*>(event));
          return true;
        }
        Forget();  // a click of its own inside the editor
        break;
      case QEvent::KeyPress:
        Forget();
        break;
      default:
        break;
    }
    return View::eventFilter(watched, event);
  }

 private:
  QWidget* OpenEditor() const { return editing_.isValid() ? this->indexWidget(editing_) : nullptr; }

  bool Opened(const QModelIndex& index, bool opened) {
    if (!opened) return false;
    editing_ = index;
    WatchModel();
    return true;
  }

  // Rows about to be reset or laid out anew may take other lines' places under the editor.
  void WatchModel() {
    QAbstractItemModel* model = this->model();
    if (!model || model == watched_) return;
    watched_ = model;
    QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { EndEdit(); });
    QObject::connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { EndEdit(); });
  }

  void Forget() {
    if (clickOpened_) clickOpened_->removeEventFilter(this);
    clickOpened_ = nullptr;
    doubled_ = false;
  }

  void HandBack(const QMouseEvent& release) {
    QWidget* editor = clickOpened_;
    Forget();
    this->closeEditor(editor, QAbstractItemDelegate::NoHint);
    QWidget* viewport = this->viewport();
    const QPointF global = release.globalPosition();
    const QPointF at = viewport->mapFromGlobal(global);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
      const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : release.button();
      QMouseEvent replayed(type, at, global, release.button(), held, release.modifiers());
      QCoreApplication::sendEvent(viewport, &replayed);
    }
  }

  QPersistentModelIndex editing_;   // the cell the last editor was opened on
  QVariant openedText_;             // its text then
  std::function<void()> giveBack_;  // puts back what else the typing changes
  bool written_ = false;            // the editor wrote into the cell
  QPointer<QAbstractItemModel> watched_;
  QPointer<QWidget> clickOpened_;  // the editor a click on the selected cell opened, until it is typed in
  bool doubled_ = false;           // that click's double click came, its release not yet
};

}  // namespace gui
