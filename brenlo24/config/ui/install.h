#pragma once
// Plugs the device-configuration windows into the communication program's
// main window: the device-information dialog behind Command1(1) and the
// modem console behind the popup entry Pum05.
namespace varenta {

class Form1;
class Form2;
class ModemConsoleWindow;

void installDeviceConfig(Form1& main);

// The open device-information dialog and the console (null when none).
Form2* deviceDialogOf(Form1& main);
ModemConsoleWindow* modemConsoleOf(Form1& main);

}  // namespace varenta
