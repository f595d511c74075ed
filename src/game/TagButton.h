#pragma once

#include <QPushButton>

namespace dorvel::game {

/// A flat push button with an integer `Tag`; the roll button keeps its mode there.
class TagButton : public QPushButton
{
    Q_OBJECT
public:
    explicit TagButton(QWidget *parent = nullptr);

    int Tag = 0;
};

} // namespace dorvel::game
