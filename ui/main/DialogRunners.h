// The dialogs the main window opens, registered with it once before it is created. Each
// dialog has its own registration function in its own file (below), which hands the main
// window a runner: construct the dialog on the stack and RunFramedDialog it over the owner.
#pragma once

namespace winhush::ui {

// Registers every runner below; called by the start-up code before the main window exists.
void RegisterDialogRunners();

void RegisterRuleListRunner();  // RuleListRunner.cpp: the rule list (CInRuleDlg)
void RegisterLocateRunner();    // LocateRunner.cpp: the window picker
void RegisterRecordRunner();    // RecordRunner.cpp: the record dialog
void RegisterSettingsRunner();  // SettingsRunner.cpp: the settings dialog

}  // namespace winhush::ui
