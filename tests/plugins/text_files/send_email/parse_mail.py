# Parses one e-mail (the file named first) with Python's own MIME parser and prints what the
# tests compare as JSON: the To and Subject headers decoded, the text body and every attachment
# decoded to bytes (in base64, so the JSON stays text).
import base64
import email
import email.policy
import json
import sys

with open(sys.argv[1], "rb") as f:
    message = email.message_from_bytes(f.read(), policy=email.policy.default)

result = {"to": str(message["To"]), "subject": str(message["Subject"]),
          "bcc": message["Bcc"] is not None,
          "body": None, "body_charset": None, "attachments": []}
for part in message.walk():
    if part.get_content_maintype() == "multipart":
        continue
    data = base64.b64encode(part.get_payload(decode=True) or b"").decode("ascii")
    if part.get_filename() is not None:
        result["attachments"].append({"filename": part.get_filename(),
                                      "type": part.get_content_type(), "data": data})
    elif result["body"] is None:
        result["body"] = data
        result["body_charset"] = part.get_content_charset()
print(json.dumps(result))
