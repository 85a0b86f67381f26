// Writes the bundle's Turtle files from the port table (Lv2Ports): manifest.ttl and
// orvex.ttl, into the folder given. Run by the build, so the description a host reads is
// the table the code runs on.
#include "effect/ProgramRecord.h"
#include "lv2/Lv2Ports.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

using namespace lv2port;

std::string number(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

std::string quoted(const char* text)
{
    std::string s = "\"";
    for (const char* c = text; *c; ++c) {
        if (*c == '"' || *c == '\\')
            s += '\\';
        s += *c;
    }
    return s + "\"";
}

const char* const kPrefixes = R"(@prefix atom:  <http://lv2plug.in/ns/ext/atom#> .
@prefix doap:  <http://usefulinc.com/ns/doap#> .
@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .
@prefix orvex: <urn:dumek:orvex#> .
@prefix patch: <http://lv2plug.in/ns/ext/patch#> .
@prefix pg:    <http://lv2plug.in/ns/ext/port-groups#> .
@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .
@prefix rsz:   <http://lv2plug.in/ns/ext/resize-port#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .
@prefix units: <http://lv2plug.in/ns/extensions/units#> .
@prefix urid:  <http://lv2plug.in/ns/ext/urid#> .
@prefix work:  <http://lv2plug.in/ns/ext/worker#> .
)";

std::string manifest()
{
    std::ostringstream t;
    t << "@prefix lv2:  <http://lv2plug.in/ns/lv2core#> .\n"
         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
         "@prefix ui:   <http://lv2plug.in/ns/extensions/ui#> .\n\n"
      << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <orvex_dsp.so> ;\n    rdfs:seeAlso <orvex.ttl> .\n\n"
      << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <orvex_ui.so> ;\n    rdfs:seeAlso <orvex.ttl> .\n";
    return t.str();
}

std::string description()
{
    std::ostringstream t;
    t << kPrefixes << "\n";
    for (int cab = 1; cab <= orvex::kNumCabs; ++cab) {
        t << "orvex:cab" << cab << "\n    a lv2:Parameter ;\n    rdfs:label \"Cab " << cab << " IR file\" ;\n"
          << "    rdfs:comment \"The WAV file whose impulse response cab " << cab
          << " plays. Previous, next and the editor's file menu choose among the WAV files of its folder.\" ;\n"
          << "    rdfs:range atom:Path .\n\n";
        t << "orvex:group" << cab << "\n    a pg:Group ;\n    lv2:symbol \"cab" << cab << "\" ;\n    rdfs:label \"Cab "
          << cab << "\" .\n\n";
    }
    t << "orvex:program\n    a lv2:Parameter ;\n    rdfs:label \"Program\" ;\n"
         "    rdfs:comment \"Which of the ten programs saved with the plug-in plays (1 to 10).\" ;\n"
         "    rdfs:range atom:Int ;\n    lv2:minimum 1 ;\n    lv2:maximum 10 .\n\n";

    t << "<" << kPluginUri << ">\n"
      << "    a lv2:Plugin , lv2:SimulatorPlugin ;\n"
      << "    doap:name \"Orvex\" ;\n"
      << "    rdfs:comment \"A guitar-cabinet simulator: six cabinet slots, each convolving the left or right input "
         "with an impulse response read from a WAV file, mixed through per-cab strips, with linked and blended "
         "cab pairs and ten programs.\" ;\n"
      << "    lv2:minorVersion 0 ;\n    lv2:microVersion 0 ;\n"
      << "    lv2:optionalFeature lv2:hardRTCapable , urid:map , work:schedule , state:mapPath , state:freePath ;\n"
      << "    lv2:extensionData state:interface , work:interface ;\n"
      << "    patch:writable orvex:cab1 , orvex:cab2 , orvex:cab3 , orvex:cab4 , orvex:cab5 , orvex:cab6 , "
         "orvex:program ;\n"
      << "    ui:ui <" << kUiUri << "> ;\n"
      << "    lv2:port [\n"
      << "        a lv2:AudioPort , lv2:InputPort ;\n        lv2:index 0 ;\n        lv2:symbol \"in_l\" ;\n"
         "        lv2:name \"In L\"\n    ] , [\n"
      << "        a lv2:AudioPort , lv2:InputPort ;\n        lv2:index 1 ;\n        lv2:symbol \"in_r\" ;\n"
         "        lv2:name \"In R\"\n    ] , [\n"
      << "        a lv2:AudioPort , lv2:OutputPort ;\n        lv2:index 2 ;\n        lv2:symbol \"out_l\" ;\n"
         "        lv2:name \"Out L\"\n    ] , [\n"
      << "        a lv2:AudioPort , lv2:OutputPort ;\n        lv2:index 3 ;\n        lv2:symbol \"out_r\" ;\n"
         "        lv2:name \"Out R\"\n    ] , [\n"
      << "        a atom:AtomPort , lv2:InputPort ;\n        atom:bufferType atom:Sequence ;\n"
         "        atom:supports patch:Message ;\n        lv2:designation lv2:control ;\n"
         "        lv2:portProperty lv2:connectionOptional ;\n"
         "        rsz:minimumSize 16384 ;\n        lv2:index 4 ;\n        lv2:symbol \"control\" ;\n"
         "        lv2:name \"Control\"\n    ] , [\n"
      << "        a atom:AtomPort , lv2:OutputPort ;\n        atom:bufferType atom:Sequence ;\n"
         "        atom:supports patch:Message ;\n        lv2:designation lv2:control ;\n"
         "        lv2:portProperty lv2:connectionOptional ;\n"
         "        rsz:minimumSize 16384 ;\n        lv2:index 5 ;\n        lv2:symbol \"notify\" ;\n"
         "        lv2:name \"Notify\"\n    ] , [\n"
      << "        a lv2:ControlPort , lv2:OutputPort ;\n        lv2:index 6 ;\n        lv2:symbol \"latency_out\" ;\n"
         "        lv2:name \"Latency\" ;\n        rdfs:comment \"How many samples late the output is: the hop and one "
         "more; none while the effect is switched off.\" ;\n"
         "        lv2:designation lv2:latency ;\n        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
         "        lv2:default 0 ;\n        lv2:minimum 0 ;\n        lv2:maximum "
      << latencySamplesOfHop(512) << " ;\n        units:unit units:frame\n    ]";
    for (std::uint32_t index = kFirstParameter; index < static_cast<std::uint32_t>(kNumPorts); ++index) {
        const ControlPort& p = *controlPort(index);
        t << " , [\n        a lv2:ControlPort , lv2:InputPort ;\n        lv2:index " << index
          << " ;\n        lv2:symbol \"" << p.symbol << "\" ;\n        lv2:name " << quoted(p.name) << " ;\n"
          << "        lv2:default " << number(p.deflt) << " ;\n        lv2:minimum " << number(p.minimum)
          << " ;\n        lv2:maximum " << number(p.maximum);
        if (p.unit)
            t << " ;\n        units:unit units:" << p.unit;
        if (p.group)
            t << " ;\n        pg:group orvex:group" << p.group;
        std::string properties;
        auto property = [&](bool on, const char* name) {
            if (on)
                properties += (properties.empty() ? "" : " , ") + std::string(name);
        };
        property(p.toggled, "lv2:toggled");
        property(p.integer, "lv2:integer");
        property(p.enumeration, "lv2:enumeration");
        if (!properties.empty())
            t << " ;\n        lv2:portProperty " << properties;
        if (std::string(p.symbol) == "on_off")
            t << " ;\n        lv2:designation lv2:enabled";
        for (int i = 0; i < p.numPoints; ++i)
            t << " ;\n        lv2:scalePoint [ rdfs:label " << quoted(p.points[i].label) << " ; rdf:value "
              << number(p.points[i].value) << " ]";
        t << "\n    ]";
    }
    t << " .\n\n";

    t << "<" << kUiUri << ">\n"
      << "    a ui:X11UI ;\n"
      << "    rdfs:comment \"Orvex's own 850 x 520 editor, embedded in the host's window. It drives the plug-in "
         "through its control ports and the cabs' file properties; when the host offers instance-access, it also "
         "reads the plug-in's ten programs from the instance, so that the editor shows every saved setting (and "
         "follows program changes) at once.\" ;\n"
      << "    lv2:requiredFeature urid:map , ui:parent ;\n"
      << "    lv2:optionalFeature ui:resize , ui:noUserResize , ui:idleInterface , ui:touch , "
         "<http://lv2plug.in/ns/ext/instance-access> ;\n"
      << "    lv2:extensionData ui:idleInterface ;\n"
      << "    ui:portNotification [\n        ui:plugin <" << kPluginUri << "> ;\n"
      << "        lv2:symbol \"notify\" ;\n        ui:notifyType atom:Object\n    ] .\n";
    return t.str();
}

bool write(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: orvex_lv2_ttl BUNDLE_FOLDER\n";
        return 1;
    }
    const std::string folder = argv[1];
    if (!write(folder + "/manifest.ttl", manifest()) || !write(folder + "/orvex.ttl", description())) {
        std::cerr << "orvex_lv2_ttl: cannot write into " << folder << "\n";
        return 2;
    }
    return 0;
}
