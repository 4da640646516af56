// The context-menu entry as Explorer uses it: Explorer starts the program as a local COM server
// ("-Embedding"), asks it for a drop target and drops the whole selection on it in one call, so
// that any number of folders reach one process.
#include "App.h"

#include <shellapi.h>

const char DropTargetClassId[] = "{FA8CA9B5-FF8C-45A3-90A2-51A62997D31F}";

namespace {

mv::TStrArr DroppedItems;
bool Dropped = false;

// The paths of the shell's data object; nothing when it has no file list.
mv::TStrArr ReadFileList(IDataObject *data) {
    mv::TStrArr items;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (!data || !mv::HrSucceeded(data->GetData(&format, &medium))) return items;
    // The medium's memory is the file list itself.
    const HDROP list = static_cast<HDROP>(medium.hGlobal);
    const UINT count = DragQueryFileW(list, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(list, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(list, i, &path[0], static_cast<UINT>(path.size())));
        if (!path.empty()) items.push_back(path);
    }
    ReleaseStgMedium(&medium);
    return items;
}

// An object of one interface that lives as long as the process, which the wait for the drop
// decides: its references are not counted.
template <typename TInterface, const IID &InterfaceId> class TProcessObject : public TInterface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **object) override {
        if (!object) return E_POINTER;
        *object = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, InterfaceId)
                      ? static_cast<TInterface *>(this)
                      : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

class TDropTarget : public TProcessObject<IDropTarget, IID_IDropTarget> {
  public:
    // Whatever is offered is taken; the effect stays the one Explorer proposes.
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject *, DWORD, POINTL, DWORD *) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD *) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    // Explorer's thread waits for this call: the selection is read and the call returns; the
    // run, its boxes and its windows come after.
    HRESULT STDMETHODCALLTYPE Drop(IDataObject *data, DWORD, POINTL, DWORD *effect) override {
        // Nothing was copied or moved: the source must not delete anything.
        if (effect) *effect = DROPEFFECT_NONE;
        if (!Dropped) DroppedItems = ReadFileList(data);
        Dropped = true;
        return S_OK;
    }
};

TDropTarget DropTarget;

class TDropTargetFactory : public TProcessObject<IClassFactory, IID_IClassFactory> {
  public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **object) override {
        if (object) *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return DropTarget.QueryInterface(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TDropTargetFactory Factory;

} // namespace

bool IsServerArgument(const std::string &argument) {
    return argument.size() == 10 && (argument[0] == '-' || argument[0] == '/') &&
           mv::EndsWith("Embedding", argument, false);
}

mv::TStrArr WaitForDrop(const std::string &classId, DWORD timeoutMs) {
    CLSID id;
    DWORD cookie = 0;
    if (!mv::HrSucceeded(CLSIDFromString(mv::AnsiToWide(classId).c_str(), &id)) ||
        !mv::HrSucceeded(
            CoRegisterClassObject(id, &Factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie)))
        return mv::TStrArr();
    // COM hands Explorer's calls to this thread as messages.
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (ULONGLONG now; !Dropped && (now = GetTickCount64()) < end;) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // Another selection starts another server, which hands its folders to this run.
    CoRevokeClassObject(cookie);
    return DroppedItems;
}
