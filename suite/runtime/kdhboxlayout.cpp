#include "kdhboxlayout.h"

KDHBoxLayout::KDHBoxLayout(QWidget *parent)
    : KDBoxLayout(QBoxLayout::LeftToRight, parent)
{}

KDHBoxLayout::~KDHBoxLayout() = default;
