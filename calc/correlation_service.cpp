// The UNO service org.numerolith.NMLCorrelation.clsCorrelation: the nine
// settings of the analysis object as attributes, Results writing the report
// into the spreadsheet document given at creation (else the desktop's current
// document). Failures leave as IllegalArgumentException whose message reads
// "error N: description" followed by the source trail.
#include <cstdlib>
#include <cstdio>

#include <cppuhelper/implbase3.hxx>
#include <cppuhelper/supportsservice.hxx>

#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XInitialization.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <org/numerolith/NMLCorrelation/XCorrelation.hpp>

#include "calc/document_bridge.h"
#include "cli/messages.h"

namespace nml::calc {

namespace uno = css::uno;
using uno::Reference;

namespace {

constexpr char kName[] = "org.numerolith.NMLCorrelation.clsCorrelation";

rtl::OUString U(const std::string& s) {
  return rtl::OUString(s.data(), static_cast<sal_Int32>(s.size()), RTL_TEXTENCODING_UTF8);
}
std::string S(const rtl::OUString& s) {
  rtl::OString o = rtl::OUStringToOString(s, RTL_TEXTENCODING_UTF8);
  return std::string(o.getStr(), static_cast<std::size_t>(o.getLength()));
}

// "error 5028: the X and Y ranges have different numbers of rows" and, on
// the next line, where it arose.
css::lang::IllegalArgumentException ToUno(const Error& e, const Reference<uno::XInterface>& context) {
  std::string text = cli::DescribeError(e);
  if (!e.Source().empty()) text += "\nsource: " + e.Source();
  return css::lang::IllegalArgumentException(U(text), context, 0);
}

using Base = cppu::WeakImplHelper3<org::numerolith::NMLCorrelation::XCorrelation, css::lang::XInitialization,
                                   css::lang::XServiceInfo>;

class CorrelationService : public Base {
 public:
  explicit CorrelationService(const Reference<uno::XComponentContext>& context) : context_(context) {}

  // XInitialization: the first argument is the document to work on.
  void SAL_CALL initialize(const uno::Sequence<uno::Any>& args) override {
    if (args.getLength() > 0) {
      Reference<css::sheet::XSpreadsheetDocument> doc(args[0], uno::UNO_QUERY);
      if (!doc.is())
        throw css::lang::IllegalArgumentException("the first argument must be a spreadsheet document",
                                                  static_cast<cppu::OWeakObject*>(this), 0);
      doc_ = doc;
    }
  }

  // XServiceInfo
  rtl::OUString SAL_CALL getImplementationName() override { return rtl::OUString::createFromAscii(kName); }
  sal_Bool SAL_CALL supportsService(const rtl::OUString& name) override {
    return cppu::supportsService(this, name);
  }
  uno::Sequence<rtl::OUString> SAL_CALL getSupportedServiceNames() override {
    return uno::Sequence<rtl::OUString>(&name_, 1);
  }

  // XCorrelation
  sal_Int16 SAL_CALL getMethod() override { return s_.method; }
  void SAL_CALL setMethod(sal_Int16 v) override { s_.method = v; }
  sal_Bool SAL_CALL getHeaders() override { return s_.headers; }
  void SAL_CALL setHeaders(sal_Bool v) override { s_.headers = v; }
  sal_Bool SAL_CALL getDescriptives() override { return s_.descriptives; }
  void SAL_CALL setDescriptives(sal_Bool v) override { s_.descriptives = v; }
  sal_Bool SAL_CALL getStandardised() override { return s_.standardised; }
  void SAL_CALL setStandardised(sal_Bool v) override { s_.standardised = v; }
  sal_Bool SAL_CALL getRaw() override { return s_.raw; }
  void SAL_CALL setRaw(sal_Bool v) override { s_.raw = v; }
  sal_Bool SAL_CALL getPlots() override { return s_.plots; }
  void SAL_CALL setPlots(sal_Bool v) override { s_.plots = v; }
  rtl::OUString SAL_CALL getXRange() override { return U(s_.xRange); }
  void SAL_CALL setXRange(const rtl::OUString& v) override { s_.xRange = Checked(v, 5012, "XRange"); }
  rtl::OUString SAL_CALL getYRange() override { return U(s_.yRange); }
  void SAL_CALL setYRange(const rtl::OUString& v) override { s_.yRange = Checked(v, 5011, "YRange"); }
  rtl::OUString SAL_CALL getOutputRange() override { return U(s_.outputRange); }
  void SAL_CALL setOutputRange(const rtl::OUString& v) override { s_.outputRange = S(v.trim()); }

  void SAL_CALL Results(sal_Bool overWrite) override {
    try {
      DocumentBridge bridge(Document());
      const StageTimes t = bridge.Run(s_, overWrite, reportSheet_);
      if (std::getenv("NMLCORR_TIMINGS"))
        std::fprintf(stderr, "nmlcorrelation: read %.3f s, compute %.3f s, write %.3f s, charts %.3f s\n", t.read,
                     t.compute, t.write, t.charts);
    } catch (const Error& e) {
      Error trail(e);
      // The trail goes on through this layer: the component's own procedures,
      // then the adapter's run, then this Results.
      const std::string& source = e.Source();
      if (source.empty()) trail.SetSource("NMLCorrelation.Calc.Results");
      else if (source.rfind("NMLCorrelation.Calc.", 0) == 0) trail.SetSource(source + ".Results");
      else trail.SetSource(source + ".Calc.Results");
      throw ToUno(trail, static_cast<cppu::OWeakObject*>(this));
    }
  }

 private:
  // An empty range text is refused at once, as the component does.
  std::string Checked(const rtl::OUString& v, std::int32_t emptyCode, const char* property) {
    const rtl::OUString text = v.trim();
    if (text.isEmpty())
      throw ToUno(Error(ComponentError(emptyCode), "", std::string("NMLCorrelation.Calc.") + property),
                  static_cast<cppu::OWeakObject*>(this));
    return S(text);
  }

  Reference<css::sheet::XSpreadsheetDocument> Document() {
    if (doc_.is()) return doc_;
    Reference<css::sheet::XSpreadsheetDocument> doc(css::frame::Desktop::create(context_)->getCurrentComponent(),
                                                    uno::UNO_QUERY);
    if (!doc.is())
      throw css::uno::RuntimeException("no spreadsheet document: pass one when creating the service",
                                       static_cast<cppu::OWeakObject*>(this));
    return doc;
  }

  Reference<uno::XComponentContext> context_;
  Reference<css::sheet::XSpreadsheetDocument> doc_;
  Settings s_;
  std::string reportSheet_;
  const rtl::OUString name_ = rtl::OUString::createFromAscii(kName);
};

}  // namespace

}  // namespace nml::calc

extern "C" SAL_DLLPUBLIC_EXPORT css::uno::XInterface* org_numerolith_NMLCorrelation_clsCorrelation_get_implementation(
    css::uno::XComponentContext* context, css::uno::Sequence<css::uno::Any> const&) {
  auto* service = new nml::calc::CorrelationService(context);
  service->acquire();
  return static_cast<cppu::OWeakObject*>(service);
}
