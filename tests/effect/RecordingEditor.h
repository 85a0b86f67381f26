// An EditorLink double: records every call in order and keeps a file menu per cab filled
// from real folders, so the effect's file actions run against real listings.
#pragma once

#include "effect/EditorLink.h"
#include "platform/Platform.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace orvex::testing {

class RecordingEditor : public EditorLink {
public:
    std::vector<std::string> calls;             // every call, in order
    std::vector<std::string> menus[6];          // entries of each cab's file menu
    int current[6] = {-1, -1, -1, -1, -1, -1};  // current entry of each menu
    std::string folders[6];                     // last pushed folders
    std::int32_t indices[6] = {0, 0, 0, 0, 0, 0};

    void setParameter(int index, float value) override { note("setParameter " + num(index) + " " + num(value)); }

    void clearCabFile(int tag) override
    {
        note("clearCabFile " + num(tag));
        if (tag >= 50 && tag < 56) {
            menus[tag - 50].clear();
            current[tag - 50] = -1;
        }
    }
    void selectCabFile(const char* name, int tag, std::int32_t& index) override
    {
        note("selectCabFile " + std::string(name) + " " + num(tag));
        index = -1;
        if (tag < 50 || tag >= 56)
            return;
        auto& menu = menus[tag - 50];
        for (size_t i = 0; i < menu.size(); ++i) {
            if (menu[i] == name) {
                index = static_cast<std::int32_t>(i);
                current[tag - 50] = index;
                return;
            }
        }
    }
    void setCabFolders(const char* const f[6]) override
    {
        note("setCabFolders");
        for (int i = 0; i < 6; ++i) {
            if (std::strlen(f[i]) >= 3)
                folders[i] = f[i];
        }
    }
    void setCabFileIndices(const std::int32_t idx[6]) override
    {
        note("setCabFileIndices");
        std::memcpy(indices, idx, sizeof indices);
    }
    void getCabFileSelection(int cab, std::int32_t& index, char* name) override
    {
        note("getCabFileSelection " + num(cab));
        if (current[cab] < 0)
            return;
        copyName(name, menus[cab][static_cast<size_t>(current[cab])]);
        index = current[cab];
    }
    void stepCabFileNext(int cab, std::int32_t& index, char* name) override { step(cab, index, name, +1); }
    void stepCabFilePrevious(int cab, std::int32_t& index, char* name) override { step(cab, index, name, -1); }
    void showCabNotice(int cab, const char* text) override { note("showCabNotice " + num(cab) + " " + text); }
    void listFolder(int tag, const char* folder) override
    {
        note("listFolder " + num(tag) + " " + folder);
        if (tag < 50 || tag >= 56)
            return;
        auto& menu = menus[tag - 50];
        menu.clear();
        for (const auto& entry : platform::listDirectory((std::string(folder) + "*.wav").c_str()))
            menu.push_back(entry.name);
        current[tag - 50] = menu.empty() ? -1 : 0;
    }

    // Calls may come from two threads at once (a parameter write on an audio thread, a
    // file step on the effect's loader), as they do from a host.
    void note(std::string call)
    {
        std::lock_guard<std::mutex> guard(lock_);
        calls.push_back(std::move(call));
    }

    bool called(const std::string& prefix) const
    {
        for (const auto& c : calls) {
            if (c.rfind(prefix, 0) == 0)
                return true;
        }
        return false;
    }

private:
    std::mutex lock_; // guards calls while calls arrive

    static std::string num(double v)
    {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v);
        return buf;
    }
    static void copyName(char* name, const std::string& text)
    {
        std::snprintf(name, 64, "%s", text.c_str());
    }
    void step(int cab, std::int32_t& index, char* name, int dir)
    {
        note(std::string(dir > 0 ? "stepCabFileNext " : "stepCabFilePrevious ") + num(cab));
        const int count = static_cast<int>(menus[cab].size());
        int next = current[cab] + dir;
        if (dir > 0 && next >= count)
            next = 0;
        if (dir < 0 && next < 0)
            next = count - 1;
        if (next >= 0 && next < count) {
            current[cab] = next;
            copyName(name, menus[cab][static_cast<size_t>(next)]);
        }
        index = next;
    }
};

} // namespace orvex::testing
