#pragma once

#include "Platform/Table/TableView.h"

// The window's table of Acrobat installations: a thin line above each row and no selection
// highlight. The line is light grey, or from the desktop's palette when that is followed.
class ALTableView : public Platform::TableView {
    Q_OBJECT
public:
    using Platform::TableView::TableView;

    void highlightSelectionInClipRect(const QRectF& clipRect, QPainter& painter) override;
};
