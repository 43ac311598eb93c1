#include "app/core/control_locks.h"

#include "app/core/protocol.h"
#include "platform/file_names.h"

namespace vantrel {
namespace {

void SetListControls(THauptmenu& w, bool enabled) {
  BackupPageControls& b = w.backupPage;
  for (Control* c : std::initializer_list<Control*>{
           &b.BitBtn3, &b.BitBtn7, &b.BitBtn22, &b.Memo5, &w.optionsPage.CheckBox2,
           &w.optionsPage.CheckBox5, &b.BitBtn4, &b.BitBtn5, &b.BitBtn6, &b.BitBtn15, &b.BitBtn16,
           &b.Memo1, &w.restorePage.RadioGroup1, &w.restorePage.Memo3}) {
    c->Enabled = enabled;
  }
}

void SetJobControls(THauptmenu& w, bool enabled) {
  BackupPageControls& b = w.backupPage;
  RestorePageControls& r = w.restorePage;
  OptionsPageControls& o = w.optionsPage;
  EmailPageControls& e = w.emailPage;
  for (Control* c : std::initializer_list<Control*>{
           &b.BitBtn2, &b.BitBtn10, &b.BitBtn11, &b.BitBtn1, &b.Panel10, &b.Panel1, &o.CheckBox1,
           &b.CheckBox3, &o.CheckBox4, &b.SpinEdit1, &b.SpinEdit2, &b.SpeedButton1, &b.Label1,
           &r.BitBtn14, &r.BitBtn13, &r.BitBtn12, &r.Edit1, &w.verifyPage.BitBtn23, &o.CheckBox6,
           &o.CheckBox7, &o.CheckBox8, &o.CheckBox9, &o.SpinEdit3, &o.Edit2, &o.Edit3, &o.Edit4,
           &o.Edit5, &o.Edit6, &o.Edit7, &o.CheckBox10, &e.efrom, &e.eTo, &e.eSubject, &e.eHost,
           &e.eUserid, &e.ePassword}) {
    c->Enabled = enabled;
  }
  for (Control* c : {&b.BitBtn8, &r.BitBtn9, &w.verifyPage.BitBtn17}) c->Visible = !enabled;
}

}  // namespace

void LockListControls(Program& p) { SetListControls(p.Hauptmenu, false); }

void UnlockListControls(Program& p) { SetListControls(p.Hauptmenu, true); }

void LockJobControls(Program& p) {
  LockListControls(p);
  SetJobControls(p.Hauptmenu, false);
  PumpMessages(p, 1);
}

void UnlockJobControls(Program& p) {
  UnlockListControls(p);
  SetJobControls(p.Hauptmenu, true);
  PumpMessages(p, 1);
}

void NormalizeList(Memo& list) {
  auto& lines = list.Lines;
  for (size_t i = lines.size(); i-- > 0;) {
    lines[i] = FoldCase(lines[i]);
    if (lines[i].empty() || lines[i] == " ") lines.erase(lines.begin() + static_cast<long>(i));
  }
}

}  // namespace vantrel
