#include "app/gui/MainWindowLayout.h"

#include "script/gui/ScriptEditorControls.h"

#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

#include <algorithm>

namespace vorlune::gui {
namespace {

constexpr int kDefaultOuterWidth = 689;

void setLeft(QWidget *w, int left) { w->move(left, w->y()); }
void setTop(QWidget *w, int top) { w->move(w->x(), top); }
void setWidth(QWidget *w, int width) { w->resize(width, w->height()); }
void setHeight(QWidget *w, int height) { w->resize(w->width(), height); }

int left(const QWidget *w) { return w->x(); }
int top(const QWidget *w) { return w->y(); }
int width(const QWidget *w) { return w->width(); }
int height(const QWidget *w) { return w->height(); }

} // namespace

void MainWindowLayout::RecizeChange(int W, int H) const
{
    QListWidget *events = script->sListView2;
    QListWidget *actions = script->sListView1;
    QTabWidget *palette = script->sPageControl1;

    setWidth(sPanel2, W);                                                              // 1
    setTop(sTreeView1, height(sPanel2));                                               // 2
    setWidth(sTreeView1, width(sPanel1));                                              // 3
    setHeight(sTreeView1, H - height(sPanel2));                                        // 4
    setWidth(ValueListEditor1, W - width(sTreeView1) - 24);                            // 5
    setHeight(ValueListEditor1, H - 14);                                               // 6
    setLeft(sBitBtn1, W - width(sBitBtn1) - 24);                                       // 7
    setTop(sBitBtn1, top(ValueListEditor1) + 170);                                     // 8
    setLeft(sBitBtn2, 2 * left(sBitBtn1) - W + 2);                                     // 9
    setTop(sBitBtn2, top(sBitBtn1));                                                   // 10
    setLeft(ValueListEditor1, width(sPanel1) + 20);                                    // 11
    setTop(ValueListEditor1, height(sPanel2));                                         // 12
    setLeft(events, width(sPanel1) + 20);                                              // 13
    setLeft(script->sBitBtn4, left(events) + width(events) - width(script->sBitBtn4)); // 14
    setLeft(script->sBitBtn3, left(events));                                           // 15
    setLeft(script->sBitBtn5, left(events));                                           // 16
    setLeft(script->sBitBtn6, left(events));                                           // 17
    setLeft(script->sBitBtn7, left(events) + width(events) - width(script->sBitBtn6)); // 18
    setLeft(script->sBitBtn8, left(events));                                           // 19
    setTop(events, height(sPanel2) + 25);                                              // 20
    // 21: 150 at the default width; a wider window gives the event names a third of its gain.
    setWidth(events, 150 + std::max(0, (W - kDefaultOuterWidth) / 3));
    setHeight(events, H - 169);                            // 22
    setLeft(palette, W - width(palette) - 14);             // 23
    setHeight(palette, H);                                 // 24
    setTop(palette, height(sPanel2));                      // 25
    setLeft(actions, left(events) + width(events) + 9);    // 26
    setWidth(actions, W - left(actions) - width(palette)); // 27
    setHeight(actions, H - 78);                            // 28
    // 29: the single column always spans the list (QListWidget has one column).
    setTop(actions, height(sPanel2));                                           // 30
    setTop(script->sBitBtn3, 20);                                               // 31
    setTop(script->sBitBtn4, 20);                                               // 32
    setWidth(script->sBitBtn5, width(events));                                  // 33
    setTop(script->sBitBtn5, top(events) + height(events));                     // 34
    setTop(script->sBitBtn8, top(script->sBitBtn5) + height(script->sBitBtn5)); // 35
    setWidth(script->sBitBtn8, width(events));                                  // 36
    setTop(script->sBitBtn6, top(script->sBitBtn8) + height(script->sBitBtn8)); // 37
    setWidth(script->sBitBtn6, width(events) / 2);                              // 38
    setTop(script->sBitBtn7, top(script->sBitBtn8) + height(script->sBitBtn8)); // 39
    setWidth(script->sBitBtn7, width(events) - width(script->sBitBtn6));        // 40

    // The panel under the tree and the splitter beside it follow the tree.
    sPanel1->setGeometry(0, height(sPanel2), width(sPanel1), H - height(sPanel2));
    sSplitter1->setGeometry(width(sPanel1), height(sPanel2), width(sSplitter1), H - height(sPanel2));
}

} // namespace vorlune::gui
