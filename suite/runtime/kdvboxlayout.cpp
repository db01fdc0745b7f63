#include "kdvboxlayout.h"

KDVBoxLayout::KDVBoxLayout(QWidget *parent)
    : KDBoxLayout(QBoxLayout::TopToBottom, parent)
{}

KDVBoxLayout::~KDVBoxLayout() = default;
