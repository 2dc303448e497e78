// The dialog that chooses the station's ports when none was given: a box a port
// found, with the adapter's description, and a label for the socket.
#pragma once

#include "app/face_data/station_arguments.h"
#include "app/win32/win_controls.h"
#include "link/port_list.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vz::win {

class TWinStationPortDlg {
public:
    explicit TWinStationPortDlg(std::vector<PortInfo> ports);
    // Modal over `owner`: the ports chosen; none when cancelled.
    std::vector<face::StationPortArgument> ShowModal(HWND owner);

private:
    static INT_PTR CALLBACK Proc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    void FormCreate(HWND dialog);
    void Keep(HWND dialog);

    std::vector<PortInfo> ports_;
    std::vector<face::StationPortArgument> chosen_;
    TFont font_;
};

} // namespace vz::win
