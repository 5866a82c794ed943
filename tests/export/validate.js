// Runs the Khronos glTF validator on each file given; exits 1 when any has errors or warnings.
'use strict';
const fs = require('fs');
const path = require('path');
const validator = require('gltf-validator');

async function validate(file) {
    const bytes = new Uint8Array(fs.readFileSync(file));
    const report = await validator.validateBytes(bytes, {
        uri: path.basename(file),
        maxIssues: 100,
        externalResourceFunction: (uri) =>
            Promise.resolve(new Uint8Array(
                fs.readFileSync(path.resolve(path.dirname(file), decodeURIComponent(uri))))),
    });
    const issues = report.issues;
    for (const m of issues.messages) {
        if (m.severity <= 1) {
            console.log(`${file}: ${m.severity === 0 ? 'error' : 'warning'} ${m.code} ` +
                        `${m.pointer || ''} ${m.message}`);
        }
    }
    console.log(`${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings`);
    return issues.numErrors + issues.numWarnings;
}

(async () => {
    let errors = 0;
    for (const file of process.argv.slice(2)) {
        errors += await validate(file);
    }
    process.exit(errors > 0 ? 1 : 0);
})().catch((e) => {
    console.error(e);
    process.exit(2);
});
