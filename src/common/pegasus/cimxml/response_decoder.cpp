#include "cimxml/response_decoder.h"

#include <Pegasus/Client/CIMClientException.h>
#include <Pegasus/Common/Exception.h>

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include "cimxml/element_tree.h"
#include "cimxml/object_grammar.h"
#include "cimxml/repeated_instances.h"
#include "cimxml/response_envelope.h"
#include "xml/xml_parser.h"

namespace Pegasus {
namespace cimxml {

namespace {

// The body is handed to the parser in pieces no larger than this, so that
// the tree's budget follows the bytes parsed however the caller cuts the body.
const std::size_t kParsePieceBytes = 64 * 1024;

}  // namespace

class ResponseDecoder::Impl : public ElementTree::ChildConsumer {
  public:
    Impl(Operation operation, Uint32 messageId, std::uint64_t responseLimit)
        : messageId_(messageId),
          bodyLimit_(responseLimit),
          tree_(responseLimit),
          parser_(tree_),
          envelope_(tree_),
          repeats_(tree_, grammar_) {
        tree_.attach(parser_);
        grammar_.limitBy(tree_.limits());
        if (operation == Operation::EnumerateInstances) {
            tree_.streamChildrenOf(
                {"CIM", "MESSAGE", "SIMPLERSP", "IMETHODRESPONSE", "IRETURNVALUE"}, this);
        }
    }

    void feed(const char* data, std::size_t size) {
        if (syntaxFailure_) return;
        try {
            do {
                std::size_t now = std::min(size, kParsePieceBytes);
                bodySize_ += now;
                if (bodySize_ > bodyLimit_) {
                    throw CIMClientMalformedHTTPException(
                        String::fromUtf8("Response from CIM Server exceeds the limit of " +
                                         std::to_string(bodyLimit_) + " bytes."));
                }
                tree_.limits().checkDeadline();
                tree_.received(now);
                parser_.feed(data, now);
                data += now;
                size -= now;
            } while (size > 0);
        } catch (const ConnectionTimeoutException&) {
            syntaxFailure_ = std::current_exception();
            throw;
        } catch (...) {
            syntaxFailure_ = std::current_exception();
        }
    }

    // Throws the first defect: of the XML first, then of its content.
    void finish() {
        if (syntaxFailure_) std::rethrow_exception(syntaxFailure_);
        tree_.limits().checkDeadline();
        parser_.finish();
        if (contentFailure_) std::rethrow_exception(contentFailure_);
        if (!enveloped_) envelope_.check(messageId_);
    }

    // A defect of the content is kept until the whole body is known to be
    // well-formed XML, since OpenPegasus reports an XML error first.
    void consume(std::int32_t element, std::int32_t previous) override {
        if (contentFailure_) return;
        try {
            if (!enveloped_) {
                envelope_.check(messageId_);
                enveloped_ = true;
                envelope_.intrinsicReturn("EnumerateInstances");
            }
            instances_.append(
                repeats_.namedInstance(Node(&tree_, element), Node(&tree_, previous)));
        } catch (const ConnectionTimeoutException&) {
            throw;
        } catch (...) {
            contentFailure_ = std::current_exception();
        }
    }

    Uint32 messageId_;
    // The transport's limit, applied here too for bodies that arrive whole.
    std::uint64_t bodyLimit_;
    std::uint64_t bodySize_ = 0;
    ElementTree tree_;
    xml::XmlParser parser_;
    ResponseEnvelope envelope_;
    ObjectGrammar grammar_;
    RepeatedInstances repeats_;
    bool enveloped_ = false;
    std::exception_ptr syntaxFailure_;
    std::exception_ptr contentFailure_;
    Array<CIMInstance> instances_;
};

ResponseDecoder::ResponseDecoder(Operation operation, Uint32 messageId, std::uint64_t responseLimit)
    : impl_(std::make_unique<Impl>(operation, messageId, responseLimit)) {}
ResponseDecoder::~ResponseDecoder() = default;

void ResponseDecoder::setDeadline(std::chrono::steady_clock::time_point deadline) {
    impl_->tree_.limits().setDeadline(deadline);
}

void ResponseDecoder::feed(const char* data, std::size_t size) { impl_->feed(data, size); }

Array<CIMInstance> ResponseDecoder::finishEnumerateInstances() {
    impl_->finish();
    Node returned = impl_->envelope_.intrinsicReturn("EnumerateInstances");
    if (returned) {
        // Children left here were not streamed (none, in a response of the
        // usual shape).
        for (Node named = returned.firstElement(); named; named = named.nextElement()) {
            impl_->instances_.append(impl_->repeats_.namedInstance(named));
        }
    }
    Array<CIMInstance> instances;
    std::swap(instances, impl_->instances_);
    return instances;
}

CIMInstance ResponseDecoder::finishGetInstance() {
    impl_->finish();
    CIMInstance instance =
        impl_->grammar_.instance(impl_->envelope_.onlyReturned("GetInstance", "INSTANCE"));
    instance.setPath(CIMObjectPath(String(), CIMNamespaceName(), instance.getClassName()));
    return instance;
}

CIMClass ResponseDecoder::finishGetClass() {
    impl_->finish();
    return impl_->grammar_.classElement(impl_->envelope_.onlyReturned("GetClass", "CLASS"));
}

CIMValue ResponseDecoder::finishInvokeMethod(const CIMName& methodName,
                                             Array<CIMParamValue>& outParameters) {
    impl_->finish();
    Node response = impl_->envelope_.extrinsicResponse(methodName.getString().utf8());
    CIMValue returned = impl_->grammar_.returnValue(response);
    outParameters = impl_->grammar_.outParameters(response);
    return returned;
}

Array<CIMInstance> decodeEnumerateInstances(const std::string& body, Uint32 messageId,
                                            std::uint64_t responseLimit) {
    ResponseDecoder decoder(ResponseDecoder::Operation::EnumerateInstances, messageId,
                            responseLimit);
    decoder.feed(body.data(), body.size());
    return decoder.finishEnumerateInstances();
}

CIMInstance decodeGetInstance(const std::string& body, Uint32 messageId,
                              std::uint64_t responseLimit) {
    ResponseDecoder decoder(ResponseDecoder::Operation::GetInstance, messageId, responseLimit);
    decoder.feed(body.data(), body.size());
    return decoder.finishGetInstance();
}

CIMClass decodeGetClass(const std::string& body, Uint32 messageId, std::uint64_t responseLimit) {
    ResponseDecoder decoder(ResponseDecoder::Operation::GetClass, messageId, responseLimit);
    decoder.feed(body.data(), body.size());
    return decoder.finishGetClass();
}

CIMValue decodeInvokeMethod(const std::string& body, Uint32 messageId, const CIMName& methodName,
                            Array<CIMParamValue>& outParameters, std::uint64_t responseLimit) {
    ResponseDecoder decoder(ResponseDecoder::Operation::InvokeMethod, messageId, responseLimit);
    decoder.feed(body.data(), body.size());
    return decoder.finishInvokeMethod(methodName, outParameters);
}

}  // namespace cimxml
}  // namespace Pegasus
