#include "script/gui/ScriptEditorControls.h"

#include "i18n/TextTable.h"
#include "script/ActionCatalogue.h"
#include "script/ActionTable.h"
#include "script/gui/ActionLineDelegate.h"
#include "script/gui/PaletteItem.h"

#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>

#include <iterator>

namespace vorlune::gui {
namespace {

constexpr int kPaletteWidth = 190;
// A tab with more items than this shows their names.
constexpr int kNamesFrom = 3;

QPushButton *button(QWidget *area, const char *name, int width)
{
    auto *created = new QPushButton(area);
    created->setObjectName(QLatin1String(name));
    created->resize(width, 25);
    return created;
}

QListWidget *list(QWidget *area, const char *name, QAbstractItemView::SelectionMode mode)
{
    auto *created = new QListWidget(area);
    created->setObjectName(QLatin1String(name));
    created->setSelectionMode(mode);
    created->setStyleSheet(QStringLiteral("QListWidget { background-color: #C6DDE7; color: #10202a; }"));
    created->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row is one line beside an icon of one size: measuring the first
    // row is enough, where measuring each would lay out every text.
    created->setUniformItemSizes(true);
    return created;
}

} // namespace

ScriptEditorControls::ScriptEditorControls(QWidget *area)
    : sListView2(list(area, "sListView2", QAbstractItemView::SingleSelection)),
      sListView1(list(area, "sListView1", QAbstractItemView::ExtendedSelection)), sPageControl1(new QTabWidget(area)),
      sTabSheet1(new QWidget), Players(new QWidget), sTabSheet2(new QWidget), sImage1(nullptr),
      sBitBtn3(button(area, "sBitBtn3", 52)), sBitBtn4(button(area, "sBitBtn4", 74)),
      sBitBtn5(button(area, "sBitBtn5", 150)), sBitBtn6(button(area, "sBitBtn6", 75)),
      sBitBtn7(button(area, "sBitBtn7", 75)), sBitBtn8(button(area, "sBitBtn8", 150))
{
    sPageControl1->setObjectName(QStringLiteral("sPageControl1"));
    sPageControl1->setTabPosition(QTabWidget::East);
    // Wide enough for the names beside the icons.
    sPageControl1->resize(kPaletteWidth, 300);
    sTabSheet1->setObjectName(QStringLiteral("sTabSheet1"));
    Players->setObjectName(QStringLiteral("Players"));
    sTabSheet2->setObjectName(QStringLiteral("sTabSheet2"));
    QWidget *tabs[] = {sTabSheet1, Players, sTabSheet2};
    // A tab with more items than the window is high scrolls.
    for (QWidget *tab : tabs) {
        auto *scroll = new QScrollArea;
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setWidgetResizable(true);
        scroll->setWidget(tab);
        // The tab's own colours show through, as on a tab without scrolling.
        scroll->viewport()->setAutoFillBackground(false);
        tab->setAutoFillBackground(false);
        sPageControl1->addTab(scroll, QString());
    }
    int itemsOnTab[std::size(tabs)] = {};
    for (const script::ActionRow &row : script::actionRows())
        ++itemsOnTab[row.paletteTab];
    int placed[std::size(tabs)] = {};
    for (const script::ActionRow &row : script::actionRows()) {
        auto *item = new PaletteItem(row.id - 1, tabs[row.paletteTab]);
        item->setObjectName(QStringLiteral("sImage%1").arg(row.id));
        const int at = placed[row.paletteTab]++;
        // A lone picture explains itself by its hint; among many, names help.
        if (itemsOnTab[row.paletteTab] > kNamesFrom)
            item->setGeometry(4, 4 + 30 * at, kPaletteWidth - 40, 26);
        else
            item->setGeometry(8, 8 + 32 * at, 24, 24);
        paletteItems.push_back(item);
    }
    for (size_t tab = 0; tab < std::size(tabs); ++tab)
        tabs[tab]->setMinimumHeight(8 + 32 * placed[tab]);
    sImage1 = paletteItems.front();
    sListView2->resize(150, 300);
    sListView1->setItemDelegate(new ActionLineDelegate(sListView1));
    sListView2->setItemDelegate(new ViewWidthDelegate(sListView2));
    for (QListWidget *fitted : {sListView1, sListView2}) {
        fitted->setResizeMode(QListView::Adjust);
        fitted->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    applyTexts();
    setVisible(false);
}

void ScriptEditorControls::setVisible(bool visible)
{
    for (QWidget *widget : std::initializer_list<QWidget *>{sListView2, sListView1, sPageControl1, sBitBtn3, sBitBtn4,
                                                            sBitBtn5, sBitBtn6, sBitBtn7, sBitBtn8}) {
        widget->setVisible(visible);
        widget->setEnabled(visible);
    }
}

void ScriptEditorControls::applyTexts()
{
    using i18n::tx;
    sPageControl1->setTabText(0, tx("PGS.pgs1"));
    sPageControl1->setTabText(1, tx("PGS.pgs2"));
    sPageControl1->setTabText(2, tx("PGS.pgs3"));
    for (PaletteItem *item : paletteItems) {
        const QString name = script::getActionName(item->imageIndex() + 1);
        item->setToolTip(name);
        if (item->width() > 24)
            item->showName(name);
    }
    sBitBtn3->setText(tx("BUTTONS.btn1"));
    sBitBtn4->setText(tx("BUTTONS.btn2"));
    sBitBtn5->setText(tx("BUTTONS.btn3"));
    sBitBtn6->setText(tx("BUTTONS.btn4"));
    sBitBtn7->setText(tx("BUTTONS.btn5"));
    sBitBtn8->setText(tx("BUTTONS.btn13"));
}

} // namespace vorlune::gui
