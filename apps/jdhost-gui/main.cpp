// jdhost-gui: the map in a window, the command in its menu, the dialogs on screen.
//
//   jdhost-gui [MAP] [--module PATH] [--catalogue PATH]
//   jdhost-gui --render MAP OUT.png [--select NAME] [--size WxH]
//   jdhost-gui --screenshot MAP OUT.png --select NAME [--size WxH]
#include <iostream>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "equipment/JDBase.h"
#include "jdhost-gui/MainWindow.h"
#include "jdhost-gui/Render.h"

namespace {

const char* const kUsage =
    "usage: jdhost-gui [MAP] [--module PATH] [--catalogue PATH]\n"
    "       jdhost-gui --render MAP OUT.png [--select NAME] [--size WxH]\n"
    "       jdhost-gui --screenshot MAP OUT.png --select NAME [--size WxH]\n"
    "  MAP              a map file (JSON) to open\n"
    "  --render         draw the map fitted into a PNG without a window; with\n"
    "                   --select, the command's highlight of that transformer\n"
    "  --screenshot     the window with the Set Transformer dialog of NAME open\n"
    "  --select NAME    an object's name or #entity-id (UTF-8)\n"
    "  --size WxH       image size in pixels (default 1200x800)\n"
    "  --module PATH    the command module (default: beside this program)\n"
    "  --catalogue PATH the equipment catalogue database (default: the per-user one)\n";

bool ParseSize(const std::string& text, QSize& size) {
    const size_t x = text.find('x');
    if (x == std::string::npos) return false;
    try {
        size_t used = 0;
        const int w = std::stoi(text.substr(0, x), &used);
        if (used != x) return false;
        const int h = std::stoi(text.substr(x + 1), &used);
        if (used != text.size() - x - 1) return false;
        size = QSize(w, h);
        return w > 0 && h > 0;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string mode;
    std::vector<std::string> positional;
    gui::RenderRequest request;
    std::string catalogue;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& target) {
            if (i + 1 >= args.size()) {
                std::cerr << "jdhost-gui: " << a << " needs a value\n" << kUsage;
                return false;
            }
            target = args[++i];
            return true;
        };
        if (a == "-h" || a == "--help") {
            std::cout << kUsage;
            return 0;
        }
        if (a == "--render" || a == "--screenshot") {
            mode = a;
        } else if (a == "--select") {
            if (!value(request.select)) return 2;
        } else if (a == "--module") {
            if (!value(request.modulePath)) return 2;
        } else if (a == "--catalogue") {
            if (!value(catalogue)) return 2;
        } else if (a == "--size") {
            std::string text;
            if (!value(text)) return 2;
            if (!ParseSize(text, request.size)) {
                std::cerr << "jdhost-gui: --size expects WIDTHxHEIGHT, found \"" << text << "\"\n";
                return 2;
            }
        } else if (!a.empty() && a[0] == '-') {
            std::cerr << "jdhost-gui: unknown option " << a << "\n" << kUsage;
            return 2;
        } else {
            positional.push_back(a);
        }
    }
    const size_t wanted = mode.empty() ? 1 : 2;
    if (positional.size() > wanted || (!mode.empty() && positional.size() != wanted)) {
        std::cerr << "jdhost-gui: expected " << (mode.empty() ? "at most one map" : "MAP and OUT.png") << "\n"
                  << kUsage;
        return 2;
    }
    if (mode == "--screenshot" && request.select.empty()) {
        std::cerr << "jdhost-gui: --screenshot needs --select NAME\n";
        return 2;
    }
    if (!catalogue.empty()) SetCataloguePath(catalogue.c_str());

    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("jdhost"));
    QApplication::setApplicationName(QStringLiteral("jdhost-gui"));
    gui::UseChineseFont();
    if (!mode.empty()) {
        request.mapPath = QString::fromStdString(positional[0]);
        request.outPath = QString::fromStdString(positional[1]);
        return mode == "--render" ? gui::RunRender(request, std::cerr) : gui::RunScreenshot(request, std::cerr);
    }
    gui::MainWindow window(request.modulePath);
    window.show();
    if (!positional.empty()) {
        const QString path = QString::fromStdString(positional[0]);
        QTimer::singleShot(0, &window, [&window, path]() { window.OpenMap(path); });
    }
    return app.exec();
}
