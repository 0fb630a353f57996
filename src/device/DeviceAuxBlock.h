#pragma once

class QAction;

// The two main-window actions (add point, add group) that the measurement tab wires to its buttons.
class DeviceAuxBlock
{
public:
    DeviceAuxBlock() = default;

    QAction* addPointAction = nullptr;
    QAction* addGroupAction = nullptr;
};
