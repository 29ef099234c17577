#include "script/gui/ScriptEditorControls.h"

#include "i18n/TextTable.h"
#include "script/gui/ActionLineDelegate.h"
#include "script/gui/PaletteItem.h"

#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>

namespace vorlune::gui {
namespace {

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
      sTabSheet1(new QWidget), Players(new QWidget), sTabSheet2(new QWidget), sImage1(new PaletteItem(0, sTabSheet1)),
      sBitBtn3(button(area, "sBitBtn3", 52)), sBitBtn4(button(area, "sBitBtn4", 74)),
      sBitBtn5(button(area, "sBitBtn5", 150)), sBitBtn6(button(area, "sBitBtn6", 75)),
      sBitBtn7(button(area, "sBitBtn7", 75)), sBitBtn8(button(area, "sBitBtn8", 150))
{
    sPageControl1->setObjectName(QStringLiteral("sPageControl1"));
    sPageControl1->setTabPosition(QTabWidget::East);
    sPageControl1->resize(90, 300);
    sTabSheet1->setObjectName(QStringLiteral("sTabSheet1"));
    Players->setObjectName(QStringLiteral("Players"));
    sTabSheet2->setObjectName(QStringLiteral("sTabSheet2"));
    sPageControl1->addTab(sTabSheet1, QString());
    sPageControl1->addTab(Players, QString());
    sPageControl1->addTab(sTabSheet2, QString());
    sImage1->setObjectName(QStringLiteral("sImage1"));
    sImage1->setGeometry(8, 8, 24, 24);
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
    sImage1->setToolTip(tx("FNCT.fnct1"));
    sBitBtn3->setText(tx("BUTTONS.btn1"));
    sBitBtn4->setText(tx("BUTTONS.btn2"));
    sBitBtn5->setText(tx("BUTTONS.btn3"));
    sBitBtn6->setText(tx("BUTTONS.btn4"));
    sBitBtn7->setText(tx("BUTTONS.btn5"));
    sBitBtn8->setText(tx("BUTTONS.btn13"));
}

} // namespace vorlune::gui
