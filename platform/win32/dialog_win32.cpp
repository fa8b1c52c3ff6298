#include "platform/text.h"
#include "platform/win32/dialog.h"

namespace corv {

// --- DialogBase ---

void DialogBase::Bind(HWND hwnd) {
    hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

void DialogBase::Unbind() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
}

DialogBase* DialogBase::Bound(HWND hwnd) {
    return reinterpret_cast<DialogBase*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

INT_PTR DialogBase::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        if (message == WM_INITDIALOG) return OnInitDialog() ? TRUE : FALSE;
        auto handler = handlers_.find(message);
        if (handler != handlers_.end()) return handler->second(wParam, lParam);
        if (message == WM_COMMAND) {
            auto command = commands_.find(LOWORD(wParam));
            if (command != commands_.end()) {
                command->second();
                return TRUE;
            }
        }
        return Default(message, wParam, lParam);
    } catch (...) {
        OnHandlerFailed(message);
        return FALSE;
    }
}

INT_PTR DialogBase::Default(UINT, WPARAM, LPARAM) {
    return FALSE;
}

std::string DialogBase::ItemText(int id) const {
    HWND item = Item(id);
    if (!item) return std::string();
    int n = GetWindowTextLengthW(item);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(item, &text[0], n + 1);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return Narrow(text);
}

void DialogBase::SetItemText(int id, const std::string& utf8) {
    SetDlgItemTextW(hwnd_, id, Widen(utf8).c_str());
}

bool DialogBase::IsChecked(int id) const {
    return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED;
}

void DialogBase::SetChecked(int id, bool on) {
    CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED);
}

void DialogBase::EnableItem(int id, bool on) {
    if (HWND item = Item(id)) EnableWindow(item, on ? TRUE : FALSE);
}

void DialogBase::ShowItem(int id, bool on) {
    if (HWND item = Item(id)) ShowWindow(item, on ? SW_SHOW : SW_HIDE);
}

void DialogBase::LimitText(int id, int characters) {
    SendDlgItemMessageW(hwnd_, id, EM_LIMITTEXT, static_cast<WPARAM>(characters), 0);
}

void DialogBase::FocusItem(int id) {
    HWND item = Item(id);
    if (!item) return;
    // Through the dialog manager of the top-level dialog, so the default button follows.
    HWND top = GetAncestor(hwnd_, GA_ROOT);
    SendMessageW(top ? top : hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item), TRUE);
}

// --- Dialog ---

INT_PTR Dialog::DoModal(HWND parent) {
    return DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(TemplateId()), parent,
                           &Dialog::Proc, reinterpret_cast<LPARAM>(this));
}

void Dialog::EndDialog(INT_PTR result) {
    ::EndDialog(Handle(), result);
}

INT_PTR Dialog::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return DialogBase::Default(message, wParam, lParam);
}

INT_PTR CALLBACK Dialog::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->Bind(hwnd);
    } else {
        self = static_cast<Dialog*>(Bound(hwnd));
    }
    // Messages before the binding get the default answer.
    if (!self) return FALSE;
    INT_PTR result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->Unbind();
    return result;
}

// --- PropertyPage ---

PROPSHEETPAGEW PropertyPage::Describe() {
    PROPSHEETPAGEW page = {};
    page.dwSize = PROPSHEETPAGEW_V1_SIZE;
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(TemplateId());
    page.pfnDlgProc = &PropertyPage::Proc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    return page;
}

INT_PTR PropertyPage::Default(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header && header->hwndFrom == Sheet()) return OnNotify(*header);
    }
    return DialogBase::Default(message, wParam, lParam);
}

INT_PTR PropertyPage::OnNotify(const NMHDR& header) {
    LONG_PTR answer = 0;
    switch (header.code) {
        case PSN_SETACTIVE:
            activated_ = true;
            OnSetActive();
            break;
        case PSN_KILLACTIVE:
            answer = OnKillActive() ? FALSE : TRUE;
            break;
        case PSN_APPLY:
            applied_ = true;
            OnApply();
            answer = PSNRET_NOERROR;
            break;
        case PSN_RESET:
            OnReset();
            break;
        default:
            return FALSE;
    }
    SetWindowLongPtrW(Handle(), DWLP_MSGRESULT, answer);
    return TRUE;
}

INT_PTR CALLBACK PropertyPage::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    PropertyPage* self = nullptr;
    if (message == WM_INITDIALOG) {
        // The sheet hands over its copy of the page description; our pointer is in it.
        const auto* page = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        self = reinterpret_cast<PropertyPage*>(page->lParam);
        self->Bind(hwnd);
    } else {
        self = static_cast<PropertyPage*>(Bound(hwnd));
    }
    if (!self) return FALSE;
    INT_PTR result = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) self->Unbind();
    return result;
}

// --- the sheet ---

namespace {

// The sheet being opened: at most one modal sheet runs at a time on the window thread.
const std::function<void(HWND)>* g_sheetCreated = nullptr;

int CALLBACK SheetCallback(HWND hwnd, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && g_sheetCreated && *g_sheetCreated) (*g_sheetCreated)(hwnd);
    return 0;
}

}  // namespace

bool RunPropertySheet(HWND parent, const std::string& caption,
                      const std::vector<PropertyPage*>& pages,
                      const std::function<void(HWND)>& created) {
    // Page handles rather than an array of descriptions: an array is stepped by each entry's
    // dwSize, which is the oldest size here, not the size of the structure.
    std::vector<HPROPSHEETPAGE> handles;
    for (PropertyPage* page : pages) {
        page->activated_ = false;
        page->applied_ = false;
        PROPSHEETPAGEW description = page->Describe();
        HPROPSHEETPAGE handle = CreatePropertySheetPageW(&description);
        if (!handle) {
            for (HPROPSHEETPAGE made : handles) DestroyPropertySheetPage(made);
            return false;
        }
        handles.push_back(handle);
    }
    std::wstring title = Widen(caption);
    PROPSHEETHEADERW header = {};
    header.dwSize = PROPSHEETHEADERW_V1_SIZE;
    header.dwFlags = PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = parent;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = title.c_str();
    header.nPages = static_cast<UINT>(handles.size());
    header.nStartPage = 0;
    header.phpage = handles.data();
    header.pfnCallback = &SheetCallback;

    const std::function<void(HWND)>* previous = g_sheetCreated;
    g_sheetCreated = &created;
    PropertySheetW(&header);
    g_sheetCreated = previous;
    // Only an accepted OK sends the pages PSN_APPLY; the return value varies between versions.
    for (PropertyPage* page : pages)
        if (page->applied_) return true;
    return false;
}

}  // namespace corv
