#include "ui/trigger_group.h"

#include "ui/button.h"

void mtxIETriggerGroup::AddMember(mtxIEButton* button) {
    if (!button) return;
    members.push_back(button);
    button->SetAction(this, uint32_t(members.size()), 1);
}

int mtxIETriggerGroup::Process(uint32_t code, uint16_t) {
    if (code == 0 || code > members.size()) return 0;
    for (size_t i = 0; i < members.size(); ++i)
        if (i + 1 != code && members[i]->IsPressed()) members[i]->SetPressed(0);
    Notify(uint16_t(code));
    return 1;
}
